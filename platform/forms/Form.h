// The base of every window: the old form life cycle (load, show, query-unload, unload),
// modal show, geometry in twips and the collection of loaded forms.
//
// A form is loaded once before it is first shown (Form_Load runs then), may be hidden and
// shown again, and is unloaded by Unload or by its close box: Form_QueryUnload and
// Form_Unload may both cancel. An unloaded form keeps its C++ object; showing it again
// loads it afresh, as the old runtime reloaded a form that was referenced after unloading.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

namespace forms {

// Show styles.
inline constexpr int vbModeless = 0;
inline constexpr int vbModal = 1;
// Why a form is being unloaded.
inline constexpr int vbFormControlMenu = 0;  // the user closed it with the close box
inline constexpr int vbFormCode = 1;         // the program called Unload
inline constexpr int vbAppWindows = 2;       // the session is ending
// Window states.
inline constexpr int vbNormal = 0;
inline constexpr int vbMinimized = 1;
inline constexpr int vbMaximized = 2;

class Form : public QWidget {
  public:
    explicit Form(QWidget* parent = nullptr);
    ~Form() override;

    // Event handlers; forms override the ones they need, tests call them directly.
    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_Resize() {}
    virtual void Form_QueryUnload(int& cancel, int unloadMode);
    virtual void Form_Unload(int& cancel);

    // Runs Form_Load unless the form is loaded already.
    void Load();
    bool Loaded() const { return loaded_; }
    // Loads if needed and shows the form. vbModal returns only once the form is hidden or
    // unloaded; showing modally a form that is already shown modeless raises run-time error
    // 400, as the old runtime did.
    void Show(int style = vbModeless);
    // Asks Form_QueryUnload and Form_Unload (either may cancel), then hides the form and
    // marks it unloaded. Returns false when the unload was cancelled.
    bool Unload(int unloadMode = vbFormCode);
    bool ShownModal() const { return modal_; }

    int WindowState() const;
    void SetWindowState(int state);
    // The client area in twips.
    double ScaleWidth() const;
    double ScaleHeight() const;

    // Called after every unload that was not cancelled.
    std::function<void(Form&)> Unloaded;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    bool loaded_ = false;
    bool unloading_ = false;
    bool modal_ = false;
    std::function<void()> endModal_;
};

// Every loaded form, in the order they were loaded (the old Forms collection).
std::vector<Form*> LoadedForms();

// Tests drive modal forms with a driver: while one is installed, Show(vbModal) shows the
// form, calls the driver with it instead of waiting for a user, and then, if the driver left
// the form open, closes it as the user's close box would. A form that still refuses to
// close is a test fault (std::logic_error).
using ModalDriver = std::function<void(Form&)>;
ModalDriver SetModalDriver(ModalDriver driver);

class ScopedModalDriver {
  public:
    explicit ScopedModalDriver(ModalDriver driver);
    ~ScopedModalDriver();
    ScopedModalDriver(const ScopedModalDriver&) = delete;
    ScopedModalDriver& operator=(const ScopedModalDriver&) = delete;

  private:
    ModalDriver previous_;
};

}  // namespace forms
