// The settings dialog's controls, their texts in the user's language, their places and the
// dark look that matches the main window.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QVBoxLayout>

#include "device/CSettingDlg.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

// Group boxes and labels: control id and text.
struct TextEntry {
    int id;
    TextId text;
};
constexpr TextEntry kTexts[] = {
    {1200, texts::kSettingsStorage},
    {1201, texts::kSettingsStorageDriving},
    {1202, texts::kSettingsStorageParking},
    {1203, texts::kSettingsStorageEvent},
    {1204, texts::kSettingsStorageUser},
    {1167, texts::kSettingsStorageNotice},
    {1205, texts::kSettingsBattery},
    {1206, texts::kSettingsVoltage},
    {1208, texts::kSettingsClock},
    {1210, texts::kSettingsRtcTime},
    {1212, texts::kSettingsVersion},
    {1213, texts::kSettingsPcViewer},
    {1214, texts::kSettingsProduct},
    {1215, texts::kSettingsFirmware},
    {1166, texts::kSettingsAudioSensor},
    {1216, texts::kSettingsMicrophone},
    {1217, texts::kSettingsSpeaker},
    {1218, texts::kSettingsGSensor},
    {1219, texts::kSettingsMotion},
    {1220, texts::kSettingsMin},
    {1221, texts::kSettingsMax},
    {1222, texts::kSettingsInsensitive},
    {1223, texts::kSettingsSensitive},
    {1224, texts::kSettingsCamera},
    {1225, texts::kSettingsBrightness},
    {1227, texts::kSettingsDark},
    {1228, texts::kSettingsTune},
    {1229, texts::kSettingsBright},
    {1226, texts::kSettingsContrast},
    {1230, texts::kSettingsBlur},
    {1231, texts::kSettingsTune},
    {1192, texts::kSettingsSharp},
    {1235, texts::kFormat},
    {1163, texts::kSettingsSave},
};
constexpr int kGroupIds[] = {1200, 1205, 1208, 1212, 1166, 1224};

constexpr int kSliderWidthPx = 190;
constexpr int kClockComboWidthPx = 58;

// Fusion draws slider ticks a shade darker than the ground, which vanishes on a dark one;
// this draws them in the quiet text colour instead.
class TickStyle : public QProxyStyle {
public:
    TickStyle(QStyle* base, QColor tick) : QProxyStyle(base), m_tick(tick) {}

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_Slider || !slider || !(slider->subControls & SC_SliderTickmarks) ||
            slider->orientation != Qt::Horizontal) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QStyleOptionSlider rest = *slider;
        rest.subControls &= ~SC_SliderTickmarks;
        QProxyStyle::drawComplexControl(control, &rest, painter, widget);

        const QRect handle = subControlRect(CC_Slider, slider, SC_SliderHandle, widget);
        const int span = slider->rect.width() - handle.width();
        const int interval = slider->tickInterval > 0 ? slider->tickInterval : 1;
        painter->save();
        painter->setPen(QPen(slider->state & State_Enabled ? m_tick : m_tick.darker(160), 1));
        const int top = slider->rect.top(), bottom = slider->rect.bottom();
        for (int v = slider->minimum; v <= slider->maximum; v += interval) {
            const int x = slider->rect.left() + handle.width() / 2 +
                          sliderPositionFromValue(slider->minimum, slider->maximum, v, span,
                                                  slider->upsideDown);
            if (slider->tickPosition & QSlider::TicksAbove)
                painter->drawLine(x, top + 1, x, top + 3);
            if (slider->tickPosition & QSlider::TicksBelow)
                painter->drawLine(x, bottom - 3, x, bottom - 1);
        }
        painter->restore();
    }

private:
    QColor m_tick;
};

QComboBox* MakeCombo(QWidget* parent, const std::vector<std::string>& entries) {
    auto* combo = new QComboBox(parent);
    for (const std::string& entry : entries) combo->addItem(QString::fromStdString(entry));
    combo->setMaxVisibleItems(16);
    return combo;
}

QSlider* MakeSlider(QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setTickPosition(QSlider::TicksBothSides);
    slider->setTickInterval(1);
    slider->setSingleStep(1);
    slider->setPageStep(1);
    slider->setMinimumWidth(kSliderWidthPx);
    return slider;
}

// The end labels above a slider ("min" ... "max", or three with a middle one).
QWidget* EndLabels(QLabel* left, QLabel* middle, QLabel* right) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(left, 1, Qt::AlignLeft);
    if (middle) h->addWidget(middle, 1, Qt::AlignHCenter);
    h->addWidget(right, 1, Qt::AlignRight);
    return row;
}

}  // namespace

template <class T>
T* CSettingDlg::Add(int id, T* widget) {
    widget->setObjectName(QString::number(id));
    m_items[id] = widget;
    return widget;
}

void CSettingDlg::BuildControls() {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    for (int id : kGroupIds) Add(id, new QGroupBox(this));
    for (const TextEntry& t : kTexts) {
        if (t.id == IDC_BUTTON_FORMAT || t.id == IDC_BUTTON_SAVE || m_items.count(t.id)) continue;
        Add(t.id, new QLabel(this));
    }
    Add(IDC_STATIC_STORAGE_TOTAL, new QLabel(this));
    for (int id : {IDC_STATIC_VIEWER_VERSION, IDC_STATIC_FW_VERSION, IDC_STATIC_MODEL})
        Add(id, new QLabel(this))->setTextInteractionFlags(Qt::TextSelectableByMouse);

    for (int id : {IDC_COMBO_CONST, IDC_COMBO_PARK, IDC_COMBO_EVENT, IDC_COMBO_MANUAL})
        Add(id, MakeCombo(this, CapacityEntries()));
    Add(IDC_COMBO_VOLTAGE, MakeCombo(this, VoltageEntries()))->setMinimumWidth(130);
    Add(IDC_COMBO_YEAR, MakeCombo(this, YearEntries()));
    Add(IDC_COMBO_MONTH, MakeCombo(this, MonthEntries()));
    Add(IDC_COMBO_DAY, MakeCombo(this, DayEntries()));
    Add(IDC_COMBO_HOUR, MakeCombo(this, HourEntries()));
    Add(IDC_COMBO_MIN, MakeCombo(this, MinuteEntries()));
    Add(IDC_COMBO_SEC, MakeCombo(this, MinuteEntries()));
    for (int id = IDC_COMBO_YEAR; id <= IDC_COMBO_SEC; ++id)
        Combo(id)->setMinimumWidth(id == IDC_COMBO_YEAR ? kClockComboWidthPx + 14
                                                        : kClockComboWidthPx);

    for (int id : {IDC_CHECK_MIC, IDC_CHECK_SPEAKER, IDC_CHECK_VOLTAGE, IDC_CHECK_TIMESYNC})
        Add(id, new QCheckBox(this));
    for (int id : {IDC_SLIDER_MIC, IDC_SLIDER_SPEAKER, IDC_SLIDER_MOTION, IDC_SLIDER_GSENSOR,
                   IDC_SLIDER_BRIGHTNESS, IDC_SLIDER_CONTRAST})
        Add(id, MakeSlider(this));

    for (int id : {IDC_BUTTON_FORMAT, IDC_BUTTON_SAVE, IDC_BUTTON_CANCEL}) {
        QPushButton* button = Add(id, new QPushButton(this));
        // No default button: Enter clicks the focused push button, elsewhere it ends the
        // dialog without writing (keyPressEvent).
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setMinimumWidth(120);
    }
    connect(Button(IDC_BUTTON_SAVE), &QPushButton::clicked, this,
            &CSettingDlg::OnBnClickedButtonSave);
    connect(Button(IDC_BUTTON_CANCEL), &QPushButton::clicked, this, &QDialog::reject);
    for (int id : {IDC_COMBO_CONST, IDC_COMBO_PARK, IDC_COMBO_EVENT, IDC_COMBO_MANUAL}) {
        connect(Combo(id), &QComboBox::currentIndexChanged, this, &CSettingDlg::UpdateStorageTotal);
    }
    connect(Button(IDC_BUTTON_FORMAT), &QPushButton::clicked, this,
            &CSettingDlg::OnBnClickedButtonFormat);
    connect(Check(IDC_CHECK_VOLTAGE), &QCheckBox::toggled, this,
            &CSettingDlg::OnBnClickedCheckVoltage);
    connect(Check(IDC_CHECK_TIMESYNC), &QCheckBox::toggled, this,
            &CSettingDlg::OnBnClickedCheckTimeSync);
    connect(Check(IDC_CHECK_MIC), &QCheckBox::toggled, this, &CSettingDlg::OnBnClickedCheckMic);
    connect(Check(IDC_CHECK_SPEAKER), &QCheckBox::toggled, this,
            &CSettingDlg::OnBnClickedCheckSpeaker);
}

void CSettingDlg::SetTexts() {
    setWindowTitle(Tr(texts::kDeviceSettingsCaption));
    Button(IDC_BUTTON_CANCEL)->setText(Tr(texts::kCancel));
    for (const TextEntry& t : kTexts) {
        const QString text = Tr(t.text);
        QWidget* item = GetDlgItem(t.id);
        if (auto* group = qobject_cast<QGroupBox*>(item))
            group->setTitle(text);
        else if (auto* label = qobject_cast<QLabel*>(item))
            label->setText(text);
        else if (auto* button = qobject_cast<QPushButton*>(item))
            button->setText(text);
    }
}

QGroupBox* CSettingDlg::Group(int id) {
    return static_cast<QGroupBox*>(GetDlgItem(id));
}

void CSettingDlg::LayOutStorageAndBattery() {
    auto group = [this](int id) { return Group(id); };
    // Storage: the four shares beneath each other, the reminder under them.
    auto* storage = new QGridLayout(group(1200));
    const int shareRows[][2] = {{1201, IDC_COMBO_CONST},
                                {1202, IDC_COMBO_PARK},
                                {1203, IDC_COMBO_EVENT},
                                {1204, IDC_COMBO_MANUAL}};
    int row = 0;
    for (const auto& r : shareRows) {
        storage->addWidget(Label(r[0]), row, 0);
        storage->addWidget(Combo(r[1]), row++, 1);
    }
    Label(IDC_STATIC_NOTICE)->setWordWrap(true);
    storage->addWidget(Label(IDC_STATIC_NOTICE), row++, 0, 1, 2);
    storage->addWidget(Label(IDC_STATIC_STORAGE_TOTAL), row, 0, 1, 2);
    storage->setColumnStretch(1, 1);

    auto* battery = new QHBoxLayout(group(1205));
    battery->addWidget(Label(1206));
    battery->addWidget(Check(IDC_CHECK_VOLTAGE));
    battery->addWidget(Combo(IDC_COMBO_VOLTAGE), 1);
}

void CSettingDlg::LayOutAudioAndCamera() {
    auto group = [this](int id) { return Group(id); };
    // Audio and sensors: two switchable volume rows, then two sensitivity rows.
    auto* audio = new QGridLayout(group(1166));
    audio->addWidget(EndLabels(Label(1220), nullptr, Label(1221)), 0, 2);
    audio->addWidget(Label(1216), 1, 0);
    audio->addWidget(Check(IDC_CHECK_MIC), 1, 1);
    audio->addWidget(Slider(IDC_SLIDER_MIC), 1, 2);
    audio->addWidget(Label(1217), 2, 0);
    audio->addWidget(Check(IDC_CHECK_SPEAKER), 2, 1);
    audio->addWidget(Slider(IDC_SLIDER_SPEAKER), 2, 2);
    audio->addWidget(EndLabels(Label(1222), nullptr, Label(1223)), 3, 2);
    audio->addWidget(Label(1218), 4, 0, 1, 2);
    audio->addWidget(Slider(IDC_SLIDER_GSENSOR), 4, 2);
    audio->addWidget(Label(1219), 5, 0, 1, 2);
    audio->addWidget(Slider(IDC_SLIDER_MOTION), 5, 2);
    audio->setColumnStretch(2, 1);

    auto* camera = new QGridLayout(group(1224));
    camera->addWidget(EndLabels(Label(1227), Label(1228), Label(1229)), 0, 1);
    camera->addWidget(Label(1225), 1, 0);
    camera->addWidget(Slider(IDC_SLIDER_BRIGHTNESS), 1, 1);
    camera->addWidget(EndLabels(Label(1230), Label(1231), Label(1192)), 2, 1);
    camera->addWidget(Label(1226), 3, 0);
    camera->addWidget(Slider(IDC_SLIDER_CONTRAST), 3, 1);
    camera->setColumnStretch(1, 1);
}

void CSettingDlg::LayOutClockAndVersion() {
    auto group = [this](int id) { return Group(id); };
    // Clock request: the switch, then year ... second in one row.
    auto* clock = new QVBoxLayout(group(1208));
    auto* clockSwitch = new QHBoxLayout;
    clockSwitch->addWidget(Label(1210));
    clockSwitch->addWidget(Check(IDC_CHECK_TIMESYNC));
    clockSwitch->addStretch(1);
    clock->addLayout(clockSwitch);
    auto* clockLists = new QHBoxLayout;
    clockLists->setSpacing(4);
    for (int id = IDC_COMBO_YEAR; id <= IDC_COMBO_SEC; ++id) clockLists->addWidget(Combo(id));
    clock->addLayout(clockLists);

    auto* version = new QGridLayout(group(1212));
    const int versionRows[][2] = {
        {1213, IDC_STATIC_VIEWER_VERSION}, {1214, IDC_STATIC_MODEL}, {1215, IDC_STATIC_FW_VERSION}};
    int row = 0;
    for (const auto& r : versionRows) {
        version->addWidget(Label(r[0]), row, 0);
        version->addWidget(Label(r[1]), row++, 1);
    }
    version->setColumnStretch(1, 1);
}

void CSettingDlg::LayOutControls() {
    auto group = [this](int id) { return Group(id); };
    LayOutStorageAndBattery();
    LayOutAudioAndCamera();
    LayOutClockAndVersion();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button(IDC_BUTTON_FORMAT));
    buttons->addWidget(Button(IDC_BUTTON_SAVE));
    buttons->addWidget(Button(IDC_BUTTON_CANCEL));

    auto* left = new QVBoxLayout;
    left->addWidget(group(1200));
    left->addWidget(group(1205));
    left->addStretch(1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(group(1166));
    middle->addWidget(group(1224));
    middle->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(group(1208));
    right->addWidget(group(1212));
    right->addStretch(1);
    right->addLayout(buttons);

    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(14, 14, 14, 14);
    columns->setSpacing(12);
    columns->addLayout(left, 0);
    columns->addLayout(middle, 1);
    columns->addLayout(right, 0);
}

namespace {

// The main window's colours: blue-grey ground, panels one step lighter, amber accent.
QPalette DialogPalette(const QColor& quiet) {
    const QColor ground(24, 29, 35), panel(32, 38, 46), face(42, 49, 59), text(201, 209, 217),
        dim(89, 96, 106), accent(245, 165, 36);
    QPalette pal;
    pal.setColor(QPalette::Window, ground);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::Base, face);
    pal.setColor(QPalette::AlternateBase, panel);
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::Button, face);
    pal.setColor(QPalette::ButtonText, text);
    pal.setColor(QPalette::Highlight, accent);
    pal.setColor(QPalette::HighlightedText, ground);
    pal.setColor(QPalette::Light, QColor(66, 74, 86));
    pal.setColor(QPalette::Midlight, QColor(58, 65, 75));
    pal.setColor(QPalette::Mid, QColor(48, 55, 64));
    pal.setColor(QPalette::Dark, QColor(16, 19, 23));
    pal.setColor(QPalette::Shadow, QColor(8, 10, 12));
    pal.setColor(QPalette::ToolTipBase, panel);
    pal.setColor(QPalette::ToolTipText, text);
    pal.setColor(QPalette::PlaceholderText, quiet);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(QPalette::Disabled, role, dim);
    pal.setColor(QPalette::Disabled, QPalette::Highlight, dim);
    pal.setColor(QPalette::Disabled, QPalette::Base, panel);
    pal.setColor(QPalette::Disabled, QPalette::Button, panel);
    return pal;
}

}  // namespace

void CSettingDlg::ApplySkin() {
    const QColor quiet(132, 141, 152);
    const QPalette pal = DialogPalette(quiet);
    setPalette(pal);

    // One style for every control, whatever the desktop's, so the palette reads the same.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        auto* style = new TickStyle(fusion, quiet);  // takes the base style
        style->setParent(this);
        setStyle(style);
        for (QWidget* child : findChildren<QWidget*>()) child->setStyle(style);
    }
    for (int id : kGroupIds) {
        QFont font = GetDlgItem(id)->font();
        font.setBold(true);
        GetDlgItem(id)->setFont(font);
        for (QWidget* child : GetDlgItem(id)->findChildren<QWidget*>()) {
            QFont plain = child->font();
            plain.setBold(false);
            child->setFont(plain);
        }
    }
    // A drop-down list opens in a window of its own, which the dialog's palette and style do
    // not reach: give them to it, or the lists open light on the dark dialog.
    for (QComboBox* combo : findChildren<QComboBox*>()) {
        QWidget* popup = combo->view()->window();
        popup->setPalette(pal);
        combo->view()->setPalette(pal);
        if (style() != popup->style()) {
            popup->setStyle(style());
            combo->view()->setStyle(style());
        }
    }
    for (int id : {1220, 1221, 1222, 1223, 1227, 1228, 1229, 1230, 1231, 1192, 1167}) {
        QPalette quietText = Label(id)->palette();
        quietText.setColor(QPalette::WindowText, quiet);
        Label(id)->setPalette(quietText);
    }
}
