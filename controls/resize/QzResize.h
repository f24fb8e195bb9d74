// QzResize: the invisible control a form carries to scale its contents with its size.
//
// The host calls Resize from the form's resize handler and once after the form has loaded.
// The first call captures every control of the form (position, size, font size and picture
// size, in twips and points); later calls either scale all of them by the form's size over
// its design size (QzScaleForm), within MinSize and MaxSize, or keep the layout and let the
// user scroll a form that has become smaller than it was (QzClipForm), with the scroll bars
// QzVScroll and QzHScroll and the corner box QzBox that the form provides. In clip mode the
// host calls ClipForm whenever either scroll bar's value changes.
//
// The control is a QObject child of its form (the form owns it) and carries its own name as
// objectName ("QzResize1"), which errors name together with the form's objectName.
//
// The form's controls are its named descendants: every child object with an objectName that
// does not start with "qt_", and the named children of those in turn (controls in a frame or
// picture box). Qt's own parts of a widget (unnamed, or named "qt_...") are not controls. See
// ControlProperties.h for which Qt objects have which of the properties.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/automation/Events.h"
#include "platform/automation/PropertyBag.h"

class QAbstractSlider;
class QWidget;

namespace Qz_Resize {

enum QzScaleType : std::int16_t {
    QzScaleForm = 0,
    QzClipForm = 1,
};

enum QzResizingErrors : std::int32_t {
    QzClippingError = 1010,
};

// Skip flags of one control: a set bit means the property is neither read again nor written.
inline constexpr int kSkipLeft = 1;
inline constexpr int kSkipTop = 2;
inline constexpr int kSkipHeight = 4;
inline constexpr int kSkipWidth = 8;
inline constexpr int kSkipFont = 16;
inline constexpr int kSkipPictureWidth = 32;
inline constexpr int kSkipPictureHeight = 64;
// Name prefixes that switch scaling off: "nos" position and size, "nof" font, "nop" picture.
inline constexpr int kSkipPosition = kSkipLeft | kSkipTop | kSkipHeight | kSkipWidth;
inline constexpr int kSkipPicture = kSkipPictureWidth | kSkipPictureHeight;
// Clip flags: bit 1 Left, bit 2 Top; both set means the control never scrolls.
inline constexpr int kClipLeft = 1;
inline constexpr int kClipTop = 2;
inline constexpr int kClipNever = kClipLeft | kClipTop;

class QzResize : public QObject {
  public:
    // Size the control keeps on a form while it is designed, in twips.
    static constexpr int kDesignSize = 735;
    static constexpr double kDefaultMinSize = 0.8;
    static constexpr double kDefaultMaxSize = 0.0;

    explicit QzResize(QWidget* form, const QString& name = QStringLiteral("QzResize1"));
    ~QzResize() override;
    QzResize(const QzResize&) = delete;
    QzResize& operator=(const QzResize&) = delete;

    // The first call captures the form; later calls scale or clip. A nested call (the form
    // resized by the control itself) does nothing.
    void Resize();
    // The default member.
    void operator()() { Resize(); }
    // Moves the form's own controls by the scroll bars' values.
    void ClipForm();

    QzScaleType ScaleType() const { return scaleType_; }
    // Raises run-time error 380 for a value that is neither QzScaleForm nor QzClipForm.
    void SetScaleType(std::int16_t value);
    double MinSize() const { return minSize_; }
    void SetMinSize(double value);
    double MaxSize() const { return maxSize_; }
    void SetMaxSize(double value);

    void ShowAboutBox() const;

    void ReadProperties(const automation::PropertyBag& bag);
    void WriteProperties(automation::PropertyBag& bag) const;

    // The control's extent on its form in twips; it keeps its design size whatever it is set to.
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int width, int height);
    void UserControl_Resize();

    // What the first Resize captured, for hosts and tests that check a form's layout.
    bool Initialised() const { return initialised_; }
    std::size_t ControlCount() const { return rows_.size(); }
    // The skip flags of a captured control; std::nullopt for one that was not captured.
    std::optional<int> SkipFlags(const QObject& control) const;
    std::optional<int> ClipFlags(const QObject& control) const;
    // The form's client area when it was captured, in twips.
    double DesignWidth() const { return designWidth_; }
    double DesignHeight() const { return designHeight_; }

    automation::PropertyChangedEvent PropertyChanged;

  private:
    // One captured control: its design measures in twips and points, single precision as the
    // control always kept them.
    struct Row {
        QPointer<QObject> control;
        float left = 0;
        float top = 0;
        float width = 0;
        float height = 0;
        float fontSize = 0;
        float pictureHeight = 0;
        float pictureWidth = 0;
        int skip = 0;
        // Clip capture: the position the control scrolls from.
        float clipLeft = 0;
        float clipTop = 0;
        int clipSkip = 0;
    };
    struct ScrollBars {
        QAbstractSlider* vertical = nullptr;
        QAbstractSlider* horizontal = nullptr;
        QWidget* box = nullptr;
    };

    void Capture();
    void CaptureRow(QObject& control);
    void ClipCapture();
    // Shrinks the form to the screen; true when it had to.
    bool FitFormToScreen();
    void Scale();
    void ScaleRow(Row& row, double ratioX, double ratioY);
    void LayOutScrollBars();
    // The special controls; raises QzClippingError without both scroll bars.
    ScrollBars RequireScrollBars() const;
    ScrollBars FindScrollBars() const;
    void ShowScrollBars(bool visible);
    void RecordClipReference();
    // Lowers a size limit so that the design size times it fits on the screen.
    double FitLimitToScreen(double value) const;
    // The form is measured by its client area, in twips: the controls live there, and its
    // frame is not known before the window is first shown, while hosts capture in Form_Load.
    double FormWidth() const;
    double FormHeight() const;
    void SetFormSize(double width, double height);
    // The largest client area the form can have on its screen.
    std::optional<QSizeF> ClientRoom() const;
    std::vector<QObject*> FormControls() const;
    QString SourceName() const;

    QPointer<QWidget> form_;
    QzScaleType scaleType_ = QzScaleForm;
    double minSize_ = kDefaultMinSize;
    double maxSize_ = kDefaultMaxSize;
    int width_ = kDesignSize;
    int height_ = kDesignSize;

    bool initialised_ = false;
    bool busy_ = false;
    double designWidth_ = 0;
    double designHeight_ = 0;
    double clipWidth_ = 0;
    double clipHeight_ = 0;
    std::vector<Row> rows_;
};

}  // namespace Qz_Resize
