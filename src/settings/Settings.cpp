// SPDX-License-Identifier: GPL-3.0-or-later
#include "Settings.h"

#include "FileListDrop.h"
#include "PadKeyLearn.h"
#include "PadTempoPanel.h"
#include "SettingsLook.h"
#include "SliderMidiLearn.h"
#include "SliderScale.h"
#include "core/NumberText.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "core/SoundFiles.h"
#include "deck/PadDeck.h"
#include "import/SoundImport.h"
#include "skin/SkinBlit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

using namespace SettingsLook;

namespace {

// Which auto-play and loop boxes are ticked whenever the window opens. A click on a pad entry
// lets the musician hear what that pad holds, a click on a file auditions it before binding; a
// preview plays once, so leaving the page never leaves a forgotten loop running over the pads.
constexpr bool kAutoPlayPadAtOpen = true;
constexpr bool kAutoPlayFileAtOpen = true;
constexpr bool kLoopAtOpen = false;

// Design positions of the knobs, matching the design captions "80" and "0".
constexpr double kVolumeKnobAtOpen = 2625;
constexpr double kPanKnobAtOpen = 1650;

// Twips to pixels for the layout, which is drawn to the same numbers as the skin.
constexpr QRect twips(int left, int top, int width, int height)
{
    constexpr int k = SliderKnob::kTwipsPerPixel;
    return QRect(left / k, top / k, width / k, height / k);
}

QCheckBox* checkBox(QWidget* parent, const QRect& rect)
{
    auto* box = new QCheckBox(parent);
    box->setGeometry(rect);
    return box;
}

// Lists in the skin's dark wells: light text on near black, the selection in the panel's amber.
void darkList(ListControl* list)
{
    QPalette p = list->palette();
    p.setColor(QPalette::Base, QColor(0x0c, 0x0c, 0x0e));
    p.setColor(QPalette::Text, QColor(0xdc, 0xdc, 0xdc));
    p.setColor(QPalette::Highlight, QColor(0xff, 0xa8, 0x30));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xb0, 0x74, 0x20));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    list->setPalette(p);

    // Fusion's light scroll bar would glare out of the well: a dark one instead.
    QPalette bar = list->verticalScrollBar()->palette();
    bar.setColor(QPalette::Window, QColor(0x16, 0x16, 0x19));
    bar.setColor(QPalette::Base, QColor(0x16, 0x16, 0x19));
    bar.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x40));
    bar.setColor(QPalette::ButtonText, QColor(0xb0, 0xb0, 0xb0));
    darkBevel(bar);
    list->verticalScrollBar()->setPalette(bar);
}

double labelNumber(const LabelControl* label)
{
    return LeadingNumber(label->text());
}

} // namespace

Settings::Settings() : SkinnedForm(kClientSize)
{
    setWindowTitle(QStringLiteral("Sample Settings"));
    // Controls take the Tab key's focus, and lie on each other, in the order they are made.
    createSampleLists();
    createPlayOptions();
    createSliders();
    createSwitchChoice();
    createLearnButtons();
    createModeChoice();
    createTempoPanel();
}

// The pads, the sound files and the buttons that bind and stop.
void Settings::createSampleLists()
{
    List1 = new ListControl(this, twips(435, 450, 1890, 2700));
    List1->setFont(BoldSansFont(9.75));
    darkList(List1);
    List1->Click = [this] { List1_Click(); };

    // Every format the pads play, so what can be dropped can also be picked.
    File1 = new FileListBox(this, twips(3300, 435, 2355, 2820), SoundImport::FilePattern());
    darkList(File1);
    File1->Click = [this] { File1_Click(); };
    File1Drop = new FileListDrop(*this);

    Command1 = new QPushButton(QStringLiteral("<  Change Sample"), this);
    Command1->setGeometry(twips(3300, 3375, 2355, 315));
    Command1->setFont(BoldSansFont(9.75));
    QObject::connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    Command2 = new QPushButton(QStringLiteral("STOP"), this);
    Command2->setGeometry(twips(2415, 2265, 825, 450));
    Command2->setFont(BoldSansFont(9.75));
    Command2->setStyleSheet(QStringLiteral(
        "QPushButton { background-color: #ff0000; color: black; border: 1px solid #400000;"
        " border-top-color: #ff8080; border-left-color: #ff8080; }"
        "QPushButton:pressed { background-color: #c00000; border-color: #ff8080;"
        " border-top-color: #400000; border-left-color: #400000; }"));
    QObject::connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
}

// The auto-play and loop boxes, and the selected file.
void Settings::createPlayOptions()
{
    Check1[0] = checkBox(this, twips(2400, 1095, 195, 195));
    Check1[1] = checkBox(this, twips(3060, 1095, 195, 195));
    Check2 = checkBox(this, twips(2700, 1800, 195, 195));
    Label3[0] = headingLabel(this, twips(2400, 855, 915, 255), QStringLiteral("AutoPlay"));
    Label3[1] = headingLabel(this, twips(2460, 1560, 675, 255), QStringLiteral("Loop"));
    Label1 =
        headingLabel(this, twips(420, 3165, 2175, 255), QStringLiteral("Currently Selected File:"));
    Label2 = valueLabel(this, twips(420, 3375, 2775, 315), 9.75, Qt::AlignLeft);
}

// The volume and pan sliders with their values.
void Settings::createSliders()
{
    Picture1 = new PictureBox(this, twips(7335, 1110, 3570, 120));
    Picture2 = new SliderKnob(Picture1);
    Label4 = valueLabel(this, twips(10380, 540, 615, 255), 8.25, Qt::AlignHCenter);
    Picture3 = new PictureBox(this, twips(7350, 3015, 3570, 120));
    Picture4 = new SliderKnob(Picture3);
    Label5 = valueLabel(this, twips(10380, 2460, 615, 255), 8.25, Qt::AlignHCenter);

    // Moving over the volume knob applies the volume even without a button held.
    Picture2->setMouseTracking(true);
    routeKnob(Picture2, &Settings::Picture2_MouseDown, &Settings::Picture2_MouseMove,
              &Settings::Picture2_MouseUp);
    routeKnob(Picture4, &Settings::Picture4_MouseDown, &Settings::Picture4_MouseMove,
              &Settings::Picture4_MouseUp);
    Picture4->DblClick = [this] { Picture4_DblClick(); };
}

void Settings::createSwitchChoice()
{
    // When another pad takes over; beside the window's name, between the two sliders. The
    // entries are in the order of PadDeck::SwitchMode.
    SwitchHeading = headingLabel(this, QRect(676, 112, 134, 14), QStringLiteral("SWITCH"));
    SwitchChoice = new QComboBox(this);
    SwitchChoice->setGeometry(676, 127, 134, 20);
    SwitchChoice->setFont(BoldSansFont(8.25));
    darkControl(SwitchChoice);
    SwitchChoice->addItem(QStringLiteral("at once"));
    SwitchChoice->addItem(QStringLiteral("at the loop's end"));
    SwitchChoice->addItem(QStringLiteral("on the next beat"));
    SwitchChoice->addItem(QStringLiteral("on the next bar"));
    SwitchChoice->setToolTip(QStringLiteral(
        "When a pad press takes over from the pad that plays: at once, on the frame after the "
        "playing loop ends its cycle, or on the next beat or bar of the session tempo, counted "
        "from the playing loop's start (without a session tempo, at the loop's end)"));
    QObject::connect(SwitchChoice, &QComboBox::activated, this, [](int choice) {
        PadDeck::StoreSwitchMode(static_cast<PadDeck::SwitchMode>(
            std::clamp(choice, 0, static_cast<int>(PadDeck::SwitchMode::OnNextBar))));
    });
}

void Settings::createTempoPanel()
{
    // The selected pad's tempo along the top of the sliders' half, its numbers in the column
    // between the groove and the sliders.
    Tempo = new PadTempoPanel(*this, QPoint(440, 9), QPoint(437, 36));
    QObject::connect(List1, &QListWidget::itemSelectionChanged, Tempo,
                     [this] { Tempo->showPad(List1->ListIndex()); });
}

void Settings::attachDeck(PadDeck& deck)
{
    m_deck = &deck;
    Tempo->attachDeck(deck);
    // The page binds the shown bank's pads: another bank shows its binding of the chosen pad.
    QObject::connect(&deck, &PadDeck::bankShown, this, [this] {
        const QString pad = List1->Text();
        Label2->setText(pad.isEmpty() ? QString()
                                      : ReadSetting(AppModul::PadSection, pad,
                                                    AppModul::SettingsFile, QString()));
        Tempo->refresh();
        showPadMode();
    });
}

void Settings::createModeChoice()
{
    // At the end of the keys' row: how the pad the keys play plays.
    headingLabel(this, QRect(686, 242, 36, 16), QStringLiteral("MODE"));
    ModeChoice = new QComboBox(this);
    ModeChoice->setGeometry(722, 239, 72, 20);
    ModeChoice->setFont(BoldSansFont(8.25));
    darkControl(ModeChoice);
    for (const PadMode mode : {PadMode::Loop, PadMode::OneShot, PadMode::Gate})
        ModeChoice->addItem(PadModes::Text(mode));
    ModeChoice->setToolTip(
        QStringLiteral("loop: a press loops the pad, a second press stops it\n"
                       "one-shot: a press plays it once over the loop, a press again restarts "
                       "it\ngate: it sounds over the loop while held"));
    QObject::connect(ModeChoice, &QComboBox::activated, this, [this](int choice) {
        const int index = List1->ListIndex();
        if (index >= 0 && index < kPadCount)
            PadModes::Store(PadBanks::DeckPad(index),
                            static_cast<PadMode>(std::clamp(choice, 0, 2)));
    });
    QObject::connect(List1, &QListWidget::itemSelectionChanged, this, [this] { showPadMode(); });
}

void Settings::showPadMode()
{
    const int index = List1->ListIndex();
    ModeChoice->setEnabled(index >= 0 && index < kPadCount);
    const PadMode mode =
        ModeChoice->isEnabled()
            ? PadModes::ModeIn(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()),
                               PadBanks::DeckPad(index))
            : PadMode::Loop;
    ModeChoice->setCurrentIndex(static_cast<int>(mode));
}

void Settings::createLearnButtons()
{
    // The keys that play the selected pad, in the free row under the pan slider.
    headingLabel(this, QRect(452, 242, 36, 16), QStringLiteral("KEYS"));
    Learn = new PadKeyLearn(*this, *List1,
                            *valueLabel(this, QRect(582, 240, 98, 18), 8.25, Qt::AlignLeft),
                            QRect(490, 240, 86, 18));
    darkControl(Learn->Button);
    // Each slider's MIDI control, learned with the small button beside its value.
    SliderLearn = {
        new SliderMidiLearn(*this, MidiControls::Volume, *Picture2, *Label4,
                            QRect(737, 36, 36, 17)),
        new SliderMidiLearn(*this, MidiControls::Pan, *Picture4, *Label5, QRect(737, 164, 36, 17))};
    for (SliderMidiLearn* learn : SliderLearn)
        darkControl(learn->Button);
}

void Settings::routeKnob(SliderKnob* knob, void (Settings::*down)(int, int, double, double),
                         void (Settings::*move)(int, int, double, double),
                         void (Settings::*up)(int, int, double, double))
{
    // The knob reports the mouse in its own unit, twips.
    constexpr double k = SliderKnob::kTwipsPerPixel;
    knob->MouseDown = [this, down](int b, int s, double x, double y) {
        (this->*down)(b, s, x * k, y * k);
    };
    knob->MouseMove = [this, move](int b, int s, double x, double y) {
        (this->*move)(b, s, x * k, y * k);
    };
    knob->MouseUp = [this, up](int b, int s, double x, double y) {
        (this->*up)(b, s, x * k, y * k);
    };
}

void Settings::InitializeControls()
{
    List1->clear();
    File1->clear();
    Check1[0]->setChecked(kAutoPlayPadAtOpen);
    Check1[1]->setChecked(kAutoPlayFileAtOpen);
    Check2->setChecked(kLoopAtOpen);
    Label2->setText(QString());
    Picture2->setKnobLeft(kVolumeKnobAtOpen);
    Label4->setText(QStringLiteral("80"));
    Picture4->setKnobLeft(kPanKnobAtOpen);
    Label5->setText(QStringLiteral("0"));
}

// ---- Sample assignment ------------------------------------------------------------------------

void Settings::Form_Load()
{
    using namespace AppModul;
    MakeTopmost(*this);
    const QImage face = LoadSkinImage(QStringLiteral("Settings"));
    setBackground(face);
    // The tracks show the groove the skin draws beneath them.
    CopySkinArea(*Picture1, face);
    CopySkinArea(*Picture3, face);

    File1->setPath(SoundsFolder);
    List1->clear();
    for (int i = 1; i <= kPadCount; ++i)
        List1->addItem(QStringLiteral("Sample %1").arg(i));
    Label2->setText(QString());
}

void Settings::ShowPage()
{
    show();
    File1Drop->soundsChanged(); // files that came into Sounds meanwhile
    readSliders();
    SwitchChoice->setCurrentIndex(static_cast<int>(PadDeck::StoredSwitchMode()));
    Tempo->refresh();
    showPadMode();
}

void Settings::readSliders()
{
    using namespace AppModul;
    const auto stored = [](const char* key, const char* fallback) {
        return LeadingNumber(
            ReadSetting(AppTitle, QLatin1String(key), SettingsFile, QLatin1String(fallback)));
    };
    Picture4->setKnobLeft(stored("PanPos", "1650"));
    Label5->setText(NumberToText(stored("PanVal", "0")));
    Picture2->setKnobLeft(stored("VolPos", "2625"));
    Label4->setText(NumberToText(stored("Volume", "80")));
}

void Settings::PlayPreview(const QString& fileName)
{
    if (!m_deck)
        return;
    m_deck->silence();
    const bool loop = Check2->isChecked();
    PlayFile(m_deck->DMC, AudioPath(AppModul::SoundsFolder + fileName), loop);
    // Volume and pan stay as the channel last had them. The pad that played is no longer playing.
    m_deck->forgetActivePad();
}

void Settings::List1_Click()
{
    using namespace AppModul;
    const QString pad = List1->Text();
    if (pad.isEmpty())
        return;
    const QString fileName = ReadSetting(PadSection, pad, SettingsFile, QString());
    Label2->setText(fileName);
    if (Check1[0]->isChecked() && FileExists(SoundsFolder + fileName))
        PlayPreview(fileName);
}

void Settings::File1_Click()
{
    if (Check1[1]->isChecked())
        PlayPreview(File1->FileName());
}

void Settings::Command1_Click()
{
    using namespace AppModul;
    const QString pad = List1->Text();
    if (pad.isEmpty())
        return;
    // With no file selected the pad is unbound: an empty value reads as no binding.
    const QString fileName = File1->FileName();
    WriteSetting(PadSection, pad, fileName, SettingsFile);
    Label2->setText(fileName);
    List1->setFocus();
}

void Settings::Command2_Click()
{
    // Stops the sound but leaves the pad lit: its next press counts as the press that stops it.
    if (m_deck)
        m_deck->silence();
}

// ---- Volume and pan sliders -------------------------------------------------------------------

std::optional<float> Settings::dragStep(SliderKnob& knob, const PictureBox& track, double x) const
{
    const std::optional<float> newLeft = SliderScale::DragTarget(
        static_cast<float>(knob.KnobLeft()), SliderScale::ToSingle(x), KnobGrabX, track.width());
    if (newLeft)
        knob.setKnobLeft(*newLeft);
    return newLeft;
}

void Settings::applyVolume()
{
    if (!m_deck)
        return;
    AudioControl& dmc = m_deck->DMC;
    const int volume = RoundHalfEven(labelNumber(Label4));
    dmc.SampleChanToModify(1);
    dmc.SampleVol(volume);
    dmc.StreamVol(volume);
}

void Settings::applyPan()
{
    if (!m_deck)
        return;
    AudioControl& dmc = m_deck->DMC;
    const int pan = RoundHalfEven(labelNumber(Label5));
    dmc.SampleChanToModify(1);
    dmc.SamplePan(pan);
    dmc.StreamPan(pan);
}

void Settings::storeVolume()
{
    using namespace AppModul;
    WriteSetting(AppTitle, QStringLiteral("Volume"), Label4->text(), SettingsFile);
    WriteSetting(AppTitle, QStringLiteral("VolPos"), NumberToText(Picture2->KnobLeft()),
                 SettingsFile);
}

void Settings::storePan()
{
    using namespace AppModul;
    WriteSetting(AppTitle, QStringLiteral("PanVal"), Label5->text(), SettingsFile);
    WriteSetting(AppTitle, QStringLiteral("PanPos"), NumberToText(Picture4->KnobLeft()),
                 SettingsFile);
}

void Settings::Picture2_MouseDown(int, int, double x, double)
{
    KnobGrabX = SliderScale::ToSingle(x);
}

void Settings::Picture2_MouseMove(int button, int, double x, double)
{
    if (button == kLeftButton) {
        const std::optional<float> newLeft = dragStep(*Picture2, *Picture1, x);
        if (!newLeft)
            return;
        Label4->setText(NumberToText(SliderScale::VolumeAt(*newLeft, Picture1->width())));
    }
    // Also a move without a button (or with another one) sends the volume shown.
    applyVolume();
}

void Settings::Picture2_MouseUp(int, int, double, double)
{
    storeVolume();
}

void Settings::Picture4_MouseDown(int, int, double x, double)
{
    KnobGrabX = SliderScale::ToSingle(x);
}

void Settings::Picture4_MouseMove(int button, int, double x, double)
{
    if (button != kLeftButton)
        return;
    const std::optional<float> newLeft = dragStep(*Picture4, *Picture3, x);
    if (!newLeft)
        return;
    Label5->setText(NumberToText(SliderScale::PanAt(*newLeft, Picture3->width())));
    applyPan();
}

void Settings::Picture4_MouseUp(int, int, double, double)
{
    // The knob keeps the mouse while a button is held, so a release outside it still ends here.
    if (const auto snap = SliderScale::SnapPan(labelNumber(Label5))) {
        Picture4->setKnobLeft(snap->knobLeft);
        Label5->setText(QString::number(snap->value));
        applyPan();
    }
    storePan();
}

void Settings::Picture4_DblClick()
{
    Picture4->setKnobLeft(SliderScale::kPanCentre);
    Label5->setText(QStringLiteral("0"));
    applyPan();
    storePan();
}
