#include "platform/forms/Form.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QPointer>
#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/automation/Errors.h"
#include "platform/forms/Twips.h"

namespace forms {

namespace {

std::vector<Form*>& Registry() {
    static std::vector<Form*> forms;
    return forms;
}

ModalDriver& Driver() {
    static ModalDriver driver;
    return driver;
}

void Forget(Form* form) {
    auto& forms = Registry();
    forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
}

}  // namespace

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) {}

Form::~Form() {
    if (endModal_) {
        endModal_();
    }
    Forget(this);
}

void Form::Form_QueryUnload(int& /*cancel*/, int /*unloadMode*/) {}

void Form::Form_Unload(int& /*cancel*/) {}

void Form::Load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    Registry().push_back(this);
    Form_Load();
}

void Form::Show(int style) {
    if (style == vbModal && isVisible() && !modal_) {
        automation::Raise(400, windowTitle().toStdString(),
                          "Form already displayed; can't show modally");
    }
    Load();
    if (!loaded_) {
        return;  // Form_Load unloaded the form again
    }
    if (style != vbModal) {
        show();
        return;
    }
    if (isVisible()) {
        return;  // already shown modally further up the call chain
    }
    QPointer<Form> self(this);
    // Whatever way the modal show ends (the form hidden, unloaded, deleted, or an error in
    // a handler), the form is modeless again afterwards.
    struct ModalScope {
        QPointer<Form> form;
        explicit ModalScope(Form* f) : form(f) {
            form->modal_ = true;
            form->setWindowModality(Qt::ApplicationModal);
        }
        ~ModalScope() {
            if (form) {
                form->endModal_ = nullptr;
                form->modal_ = false;
                form->setWindowModality(Qt::NonModal);
            }
        }
    } scope(this);
    if (ModalDriver driver = Driver()) {
        show();
        driver(*this);
        if (self && isVisible()) {
            close();
        }
        if (self && isVisible()) {
            throw std::logic_error("the modal form \"" + windowTitle().toStdString() +
                                   "\" stayed open after its test driver");
        }
        return;
    }
    QEventLoop loop;
    endModal_ = [&loop] { loop.quit(); };
    show();
    if (isVisible()) {
        loop.exec();
    }
}

bool Form::Unload(int unloadMode) {
    // A handler that unloads its own form again must not start a second round.
    if (!loaded_ || unloading_) {
        return true;
    }
    {
        struct Busy {
            bool& flag;
            explicit Busy(bool& f) : flag(f) { flag = true; }
            ~Busy() { flag = false; }
        } busy(unloading_);
        int cancel = 0;
        Form_QueryUnload(cancel, unloadMode);
        if (cancel != 0) {
            return false;
        }
        Form_Unload(cancel);
        if (cancel != 0) {
            return false;
        }
        hide();
        loaded_ = false;
        Forget(this);
    }
    // Last, and from a copy, because the owner may delete the form from here.
    if (const auto unloaded = Unloaded) {
        unloaded(*this);
    }
    return true;
}

int Form::WindowState() const {
    if (isMinimized()) {
        return vbMinimized;
    }
    return isMaximized() ? vbMaximized : vbNormal;
}

void Form::SetWindowState(int state) {
    switch (state) {
        case vbNormal:
            setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
            break;
        case vbMinimized:
            setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
            break;
        case vbMaximized:
            setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
            break;
        default:
            automation::Raise(automation::InvalidPropertyValue, "WindowState");
    }
}

double Form::ScaleWidth() const {
    return PixelsToTwips(width());
}

double Form::ScaleHeight() const {
    return PixelsToTwips(height());
}

void Form::closeEvent(QCloseEvent* event) {
    if (!loaded_ || Unload(vbFormControlMenu)) {
        event->accept();
    } else {
        event->ignore();
    }
}

void Form::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (loaded_) {
        Form_Resize();
    }
}

void Form::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Only a real hide of the window ends a modal show, not minimising it.
    if (endModal_ && !isVisible()) {
        endModal_();
    }
}

void Form::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && loaded_) {
        Form_Activate();
    }
}

ModalDriver SetModalDriver(ModalDriver driver) {
    std::swap(Driver(), driver);
    return driver;
}

ScopedModalDriver::ScopedModalDriver(ModalDriver driver)
    : previous_(SetModalDriver(std::move(driver))) {}

ScopedModalDriver::~ScopedModalDriver() {
    SetModalDriver(std::move(previous_));
}

std::vector<Form*> LoadedForms() {
    return Registry();
}

}  // namespace forms
