#include "controls/about/frmQzAbout.h"

#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/about/AboutCache.h"
#include "controls/about/WebLinks.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Variant.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Twips.h"

namespace Qz_About {
namespace {

constexpr const char* kBuildExtension = "QZUPGRADE_Build";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A label whose text wraps at its width and is never cut off: the layout gives it the height
// its text needs.
QLabel* Label(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton* Button(const char* name) {
    auto* button = new QPushButton;
    button->setObjectName(name);
    return button;
}

// The text column is this many average characters of the box's font wide, so that the box
// grows with the font (120 dpi, a larger desktop font) instead of cutting its texts off.
constexpr int kWidthInCharacters = 56;
// The description shows this many lines at most; a longer one scrolls.
constexpr int kDescriptionLines = 9;

// A picture from its address; nullopt when it cannot be had or is no picture.
std::optional<QPixmap> Picture(const std::string& url) {
    const std::string bytes = FetchPicture(url);
    QPixmap picture;
    if (bytes.empty() || !picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                               static_cast<uint>(bytes.size()))) {
        return std::nullopt;
    }
    return picture;
}

void SetPicture(QLabel* image, const std::string& url) {
    if (const auto picture = Picture(url)) {
        image->setPixmap(
            picture->scaled(image->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
}

void SetPicture(QPushButton* button, const std::string& url) {
    if (const auto picture = Picture(url)) {
        button->setIcon(QIcon(*picture));
    }
}

}  // namespace

frmQzAbout::frmQzAbout()
    : Image1(Label("Image1")),
      lbProductName(Label("lbProductName")),
      lbVersion(Label("lbVersion")),
      lbCompanyName(Label("lbCompanyName")),
      lbCopyright(Label("lbCopyright")),
      lbDescription(Label("lbDescription")),
      lbDisclaimer(Label("lbDisclaimer")),
      cmdCompanyButton(Button("cmdCompanyButton")),
      cmdPurchaseButton(Button("cmdPurchaseButton")),
      cmdAssociateButton(Button("cmdAssociateButton")),
      cmdOK(Button("cmdOK")),
      scrDescription(new QScrollArea) {
    setObjectName("frmQzAbout");
    QFont bold = lbProductName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    lbProductName->setFont(bold);
    QFont small = lbDisclaimer->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    lbDisclaimer->setFont(small);
    Image1->setFixedSize(forms::TwipsToPixels(480), forms::TwipsToPixels(480));
    cmdOK->setText("OK");
    cmdOK->setDefault(true);

    // A long description (a PAD file holds up to 2000 characters) scrolls inside the box.
    scrDescription->setObjectName("scrDescription");
    scrDescription->setWidget(lbDescription);
    scrDescription->setWidgetResizable(true);
    scrDescription->setFrameShape(QFrame::NoFrame);
    scrDescription->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* texts = new QVBoxLayout;
    for (QLabel* label : {lbProductName, lbVersion, lbCompanyName, lbCopyright}) {
        texts->addWidget(label);
    }
    texts->addSpacing(fontMetrics().height() / 2);
    texts->addWidget(scrDescription);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addSpacing(fontMetrics().height());
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {cmdCompanyButton, cmdPurchaseButton, cmdAssociateButton}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(lbDisclaimer);
    layout->addLayout(buttons);

    QObject::connect(cmdCompanyButton, &QPushButton::clicked, [this] { cmdCompanyButton_Click(); });
    QObject::connect(cmdPurchaseButton, &QPushButton::clicked,
                     [this] { cmdPurchaseButton_Click(); });
    QObject::connect(cmdAssociateButton, &QPushButton::clicked,
                     [this] { cmdAssociateButton_Click(); });
    QObject::connect(cmdOK, &QPushButton::clicked, [this] { cmdOK_Click(); });
    // OK is the default and the cancel button of the box.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter),
                                    QKeySequence(Qt::Key_Escape)}) {
        QObject::connect(new QShortcut(key, this), &QShortcut::activated,
                         [this] { cmdOK_Click(); });
    }
}

void frmQzAbout::FitToTexts() {
    // Every text gets the width of the text column and the height its lines need there; the
    // description up to kDescriptionLines lines, beyond which it scrolls. The box then takes
    // the size of its contents, whatever the font.
    const int column = fontMetrics().averageCharWidth() * kWidthInCharacters;
    for (QLabel* label : {lbProductName, lbVersion, lbCompanyName, lbCopyright}) {
        label->setFixedWidth(column);
    }
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scrDescription);
    const int lines = lbDescription->fontMetrics().lineSpacing() * kDescriptionLines;
    const int needed = lbDescription->text().isEmpty() ? 0 : lbDescription->heightForWidth(column);
    scrDescription->setFixedSize(column + bar, std::min(needed, lines));
    scrDescription->setVerticalScrollBarPolicy(needed > lines ? Qt::ScrollBarAlwaysOn
                                                              : Qt::ScrollBarAlwaysOff);
    lbDisclaimer->setFixedWidth(Image1->width() + fontMetrics().height() + column + bar);
    // The web buttons' captions come from the PAD file; each button leaves room around its own.
    for (QPushButton* button : {cmdCompanyButton, cmdPurchaseButton, cmdAssociateButton}) {
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) +
                                2 * button->fontMetrics().height());
    }
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
}

std::string frmQzAbout::FromPAD(const std::function<std::string()>& read) {
    if (padUnreadable_) {
        return {};
    }
    try {
        return read();
    } catch (const automation::Error&) {
        // A missing or unreadable PAD file leaves the items it feeds empty; the cache still
        // speaks for it.
        padUnreadable_ = true;
        return {};
    }
}

std::string frmQzAbout::Item(AboutCache& cache, const char* name,
                             const std::function<std::string()>& read) {
    std::string value = cache.Get(name);
    if (value.empty()) {
        value = FromPAD(read);
        if (!value.empty()) {
            cache.Save(name, value);
        }
    }
    return value;
}

std::string frmQzAbout::Description() {
    const auto chain = [this](const std::string& language) {
        for (const std::string& text : {pad_.Char_Desc_2000(language), pad_.Char_Desc_450(language),
                                        pad_.Char_Desc_250(language), pad_.Char_Desc_80(language),
                                        pad_.Char_Desc_45(language)}) {
            if (!text.empty()) {
                return text;
            }
        }
        return std::string();
    };
    std::string description = chain(Language);
    if (description.empty()) {
        const automation::Variant languages = pad_.Language();
        const auto* names = languages.get_if<automation::StringArray>();
        if (names != nullptr && !names->empty()) {
            description = chain((*names)[names->LBound()]);
        }
    }
    return description;
}

std::string frmQzAbout::VersionCaption() {
    if (Major == 0 && Minor == 0 && Revision == 0) {
        const std::string version = FromPAD([this] { return pad_.Program_Version(); });
        const std::string build = FromPAD([this] { return pad_.Extension(kBuildExtension); });
        if (version.empty()) {
            return {};
        }
        return "Version " + version + (build.empty() ? "" : "." + build);
    }
    if (Major < 0) {
        return {};
    }
    std::string caption = "Version " + std::to_string(Major);
    if (Minor >= 0) {
        caption += "." + std::to_string(Minor);
    }
    if (Revision >= 0) {
        caption += "." + std::to_string(Revision);
    }
    return caption;
}

void frmQzAbout::Form_Load() {
    pad_.SetPADFile(PADFile);
    padUnreadable_ = false;
    AboutCache cache(PADFile);

    const std::string programName =
        Item(cache, "ProgramName", [this] { return pad_.Program_Name(); });
    lbProductName->setText(Q(programName));
    setWindowTitle(Q("About " + programName));
    SetPicture(Image1, Item(cache, "AppIcon", [this] { return pad_.Application_Icon_URL(); }));
    lbVersion->setText(Q(VersionCaption()));

    orderURL_ = Item(cache, "AppOrder", [this] { return pad_.Application_Order_URL(); });
    cmdPurchaseButton->setVisible(!orderURL_.empty());
    SetPicture(cmdPurchaseButton, Item(cache, "PurchaseIcon", [this] {
                   return pad_.Extension("QZABOUT_Purchase_Icon_URL");
               }));
    std::string purchaseText =
        Item(cache, "PurchaseText", [this] { return pad_.Extension("QZABOUT_Purchase_Text"); });
    if (purchaseText.empty()) {
        purchaseText = "Purchase";
    }
    cmdPurchaseButton->setText(Q(purchaseText));
    cmdPurchaseButton->setToolTip(Q(purchaseText));

    associateURL_ =
        Item(cache, "AssocURL", [this] { return pad_.Extension("QZABOUT_Associate_URL"); });
    cmdAssociateButton->setVisible(!associateURL_.empty());
    SetPicture(cmdAssociateButton, Item(cache, "AssocIcon", [this] {
                   return pad_.Extension("QZABOUT_Associate_Icon_URL");
               }));
    std::string associateText =
        Item(cache, "AssocText", [this] { return pad_.Extension("QZABOUT_Associate_Text"); });
    if (associateText.empty()) {
        associateText = "Become an Associate";
    }
    cmdAssociateButton->setText(Q(associateText));

    lbDescription->setText(Q(Item(cache, "Desc", [this] { return Description(); })));
    lbDisclaimer->setText(
        Q(Item(cache, "Disclaimer", [this] { return pad_.Extension("QZABOUT_Disclaimer"); })));

    const std::string companyName =
        Item(cache, "CompanyName", [this] { return pad_.Company_Name(); });
    lbCompanyName->setText(Q(companyName));
    companyURL_ = Item(cache, "CompanyURL", [this] { return pad_.Company_WebSite_URL(); });
    cmdCompanyButton->setText(Q(companyName + " on the web."));
    // A button that leads nowhere is not offered.
    cmdCompanyButton->setEnabled(!companyURL_.empty());
    SetPicture(cmdCompanyButton, Item(cache, "CompanyIcon", [this] {
                   return pad_.Extension("QZABOUT_Company_Icon_URL");
               }));

    lbCopyright->setText(Q(LegalCopyright));

    FitToTexts();
}

void frmQzAbout::Open(const std::string& url) {
    if (url.empty()) {
        return;
    }
    const auto address = WebAddress(url);
    if (!address) {
        dialogs::MsgBox("\"" + url + "\" is not a web address, so it is not opened.",
                        dialogs::vbOKOnly | dialogs::vbExclamation, windowTitle().toStdString());
        return;
    }
    try {
        OpenInBrowser(*address);
    } catch (const automation::Error& error) {
        dialogs::MsgBox("Unable to open " + *address + ".\r\n" + error.Description(),
                        dialogs::vbOKOnly | dialogs::vbExclamation, windowTitle().toStdString());
    }
}

}  // namespace Qz_About
