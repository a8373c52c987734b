// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bar.h"

#include "PadDrop.h"
#include "audio/AudioEngine.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "intro/frmIntro.h"
#include "skin/SkinBlit.h"
#include "skin/SkinLayout.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTime>

#include <cstdio>

Bar::~Bar()
{
    // The deck and its engine outlive the bar: from now on they publish each command at once.
    Deck.DMC.engine().mixer().setCommitScheduler(nullptr);
    SetSettingsNotSavedListener({});
}

Bar::Bar(PadDeck& deck) : LitSkinnedForm(kClientSize), Deck(deck)
{
    setWindowTitle(QStringLiteral("Quendel"));
    setMouseTracking(true); // the surface turns the minimise label black on every move

    // A control made later lies above those made before it, so this order stays.
    createPads();
    createButtons();
    createTitleAndStatus(deck.DMC.engine());

    MouseDown = [this](int b, int s, double x, double y) { Form_MouseDown(b, s, x, y); };
    MouseMove = [this](int b, int s, double x, double y) { Form_MouseMove(b, s, x, y); };

    followDeckAndBindings();
    setUpTimers();
}

void Bar::createPads()
{
    for (int i = 0; i < kPadCount; ++i) {
        auto* pad = new PictureBox(this, SkinLayout::padRect(i));
        pad->MouseDown = [this, i](int b, int s, double x, double y) {
            Picture6_MouseDown(i, b, s, x, y);
        };
        pad->MouseUp = [this, i](int b, int s, double x, double y) {
            Picture6_MouseUp(i, b, s, x, y);
        };
        Picture6[i] = pad;
        PadNames[i] = new PadOverlay(pad);
    }
}

// The page buttons, the settings button and the exit button.
void Bar::createButtons()
{
    const std::array<QRect, 3> pageRects = {SkinLayout::kSamplesButton, SkinLayout::kTunerButton,
                                            SkinLayout::kToneGenButton};
    const std::array<QString, 3> pageTips = {QStringLiteral("Samples Pool"),
                                             QStringLiteral("Guitar Tuner"),
                                             QStringLiteral("Tone Generator ( BETA )")};
    for (int k = 0; k < 3; ++k) {
        auto* button = new PictureBox(this, pageRects[k]);
        button->setToolTip(pageTips[k]);
        button->MouseDown = [this, k](int b, int s, double x, double y) {
            Picture1_MouseDown(k, b, s, x, y);
        };
        Picture1[k] = button;
    }
    Picture4 = new PictureBox(this, SkinLayout::kSettingsButton);
    Picture4->MouseDown = [this](int b, int s, double x, double y) {
        Picture4_MouseDown(b, s, x, y);
    };
    Picture3 = new PictureBox(this, SkinLayout::kExitButton);
    Picture3->MouseDown = [this](int b, int s, double x, double y) {
        Picture3_MouseDown(b, s, x, y);
    };
    Picture3->MouseUp = [this](int b, int s, double x, double y) { Picture3_MouseUp(b, s, x, y); };
}

// The title area, the minimise label, the clock with its output menu and the status line.
void Bar::createTitleAndStatus(AudioEngine& engine)
{
    // The placeholder lies under the pads and takes the mouse between them, so a press there
    // neither drags the bar nor reaches anything else.
    Image1 = new MouseArea(this, kImage1);
    Image1->lower();
    Image2 = new MouseArea(this, SkinLayout::kTitleArea);
    Image2->Click = [this] { Image2_Click(); };

    Label3 = new MinimiseLabel(this, SkinLayout::kMinimiseLabel);
    Label3->MouseMove = [this](int b, int s, double x, double y) { Label3_MouseMove(b, s, x, y); };
    Label3->Click = [this] { Label3_Click(); };

    Label4 = new LabelControl(this, QRect(943, 735, 65, 17), QStringLiteral("00:00:00"));
    Label5 = new LabelControl(this, QRect(941, 734, 65, 17), QStringLiteral("00:00:00"));
    for (LabelControl* label : {Label4, Label5})
        label->setFont(BoldSansFont(9.75));
    Label4->setForeColor(Qt::black);
    Label5->setForeColor(Qt::white);
    // A left click on the title still opens the intro; the right button chooses the output.
    Outputs = new OutputMenu(this, engine);
    Outputs->LinkEntries = [this](QMenu& menu) {
        addLinkEntries(menu);
        addSetEntries(menu);
        addRecordEntries(menu);
    };
    for (QWidget* area : std::initializer_list<QWidget*>{Image2, Label4, Label5}) {
        auto* handlers = dynamic_cast<MouseHandlers*>(area);
        handlers->MouseDown = [this, area](int button, int, double x, double y) {
            if (button == kRightButton)
                Outputs->popup(area->mapToGlobal(QPointF(x, y)).toPoint());
        };
    }
    StatusLine = new StatusLabel(this, QRect(400, 692, 525, 18));
    Strip = new TempoStrip(this, Deck);
    Strip->Say = [this](const QString& text) { showStatus(text); };
    Banks = new BankSelector(this, Deck);
    Songs = new SetlistLine(this, Deck);
    new PadDrop(*this); // sound files dropped on the pads
}

void Bar::followDeckAndBindings()
{
    // The pads show what the deck says, whichever trigger changed it.
    QObject::connect(&Deck, &PadDeck::padLit, this, [this](int index, bool lit) {
        DrawControl(Picture6[index], lit);
        PadNames[index]->setLit(lit);
    });
    QObject::connect(&Deck, &PadDeck::activePadChanged, this, [this] { followPlayingPad(); });
    QObject::connect(&Deck, &PadDeck::pendingPadChanged, this, [this] { followPlayingPad(); });
    // Another bank: its names and lights (the deck relit the pads), and its sounds made ready.
    QObject::connect(&Deck, &PadDeck::bankShown, this, [this] {
        Bindings.showBank();
        followPlayingPad();
    });
    QObject::connect(&Bindings, &PadBindings::changed, this, [this] {
        ShowPadNames();
        Deck.keepBoundSoundsReady(Bindings);
    });
    // Keys edited by hand in the settings file apply, and show in the tooltips, as names do;
    // so does a tempo or key typed into the file.
    QObject::connect(&Bindings, &PadBindings::fileChanged, this, [this] {
        Keys.reload();
        Deck.Tempo.reload();
        Deck.Songs.reload();    // a setlist written by hand
        Deck.renderBoundPads(); // a pad's tempo or key edited by hand
        ShowPadNames();
    });
    // What the deck has to say about tempo and key goes to the status line.
    QObject::connect(&Deck, &PadDeck::note, this,
                     [this](const QString& text) { showStatus(text); });
    QObject::connect(&Recorder, &LoopRecorder::note, this,
                     [this](const QString& text) { showStatus(text); });
    QObject::connect(&Recorder, &LoopRecorder::changed, this, [this] { showTake(); });
    QObject::connect(&Deck, &PadDeck::bankShown, this, [this] { showTake(); });
    // The tooltips name each pad's keys, anew whenever a key is learned.
    PadKeysText = [this](int pad) { return Keys.triggers().keysText(pad); };
    QObject::connect(&PadTriggerChanges::instance(), &PadTriggerChanges::changed, this,
                     [this] { ShowPadNames(); });
}

void Bar::setUpTimers()
{
    LoopTimer.setInterval(33);
    QObject::connect(&LoopTimer, &QTimer::timeout, this, [this] { showLoopProgress(); });
    Timer2.setInterval(100);
    // The clock's text changes once a second: rather than look four times a second, the timer
    // is set anew at each tick for just past the next turn of the second, so an idle bar wakes
    // once a second and shows each second as it begins.
    Timer3.setSingleShot(true);
    Timer3.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
    QObject::connect(&Timer3, &QTimer::timeout, this, [this] { Timer3_Timer(); });
}

// ---- Load and close ---------------------------------------------------------------------------

void Bar::Form_Load()
{
    CenterWindow(*this);

    const int outOfSight = (screen() != nullptr ? screen()->geometry().width() : 0) + 200;
    LoadFaces(QStringLiteral("AllOff"), QStringLiteral("AllOn"), outOfSight);

    DrawControl(Picture1[0], true);
    DrawControl(Picture1[1], false);
    DrawControl(Picture1[2], false);
    DrawControl(Picture3, true);
    DrawControl(Picture4, false);
    for (int pad = 0; pad < kPadCount; ++pad)
        Deck.setLit(pad, false);

    // Commands of one UI event reach the audio thread together, so a pad's volume and pan
    // apply from its file's first frame.
    AudioEngine& engine = Deck.DMC.engine();
    // The bar is the timer's context, so a commit still due when the bar goes is dropped with
    // it; the bar takes the scheduler back when it goes (see ~Bar).
    engine.mixer().setCommitScheduler([this, &engine] {
        QTimer::singleShot(0, this, [&engine] { engine.mixer().commitPending(); });
    });
    // The device buffer: "auto" unless the user fixed it for a faster machine or a real-time
    // set-up.
    // Both from one read of the settings file.
    const QByteArray settings = ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
    engine.host().setBufferSetting(
        ParseBufferSetting(SettingIn(settings, AppModul::AppTitle, QStringLiteral("AudioBuffer"),
                                     QStringLiteral("auto"))
                               .toStdString()));
    // How much memory the pads' sounds, decoded ahead of their presses, may take.
    engine.sounds().setBudget(ReadySounds::BudgetFromMegabytes(
        SettingIn(settings, AppModul::AppTitle, QStringLiteral("ReadySoundsMB"), QString())
            .toStdString()));
    // Where the sound goes, as the output menu stored it.
    engine.host().setOutputChoice(OutputMenu::choiceIn(settings));
    Deck.DMC.DeviceToUse(1);
    Deck.DMC.InitBASS(static_cast<std::uintptr_t>(winId()), 44100, false, false);
    Deck.DMC.BufferLenInSeconds(1.0);
    Deck.applySessionToEngine(); // the stored tempo and metronome
    if (LinkDeck::LinkIn(settings))
        setLink(true, LinkDeck::StartStopIn(settings));
    sayStartNotes();
    Midi = std::make_unique<BarMidi>(*this);
    Outputs->setSyncListener([this] {
        if (Midi)
            Midi->reloadSync();
    });
    // Said after the start's other notes, as one of them.
    Osc = OscServer::FromSettings(Deck, settings,
                                  [this](const QString& text) { StatusLine->queueMessage(text); });

    Keys.reload(); // the trigger map, also as edited by hand since the last start
    // The bank shown when Quendel last ended (A for a file from before banks).
    Deck.showBank(PadDeck::StoredBank(settings));
    // The song played last is current again, its bank and tempo as left.
    Deck.Songs.reload(settings);
    Bindings.watch(AppModul::SettingsFile, AppModul::SoundsFolder);
    ShowPadNames();

    followCurrentPage();
    Timer3_Timer(); // the time from the start, not "00:00:00" for the first second
}

void Bar::Form_Unload(bool& cancel)
{
    cancel = true; // the program ends here instead, without the other windows' close handlers
    DrawControl(Picture3, false);
    endProgram();
}

void Bar::closeEvent(QCloseEvent* event)
{
    bool cancel = false;
    Form_Unload(cancel);
    if (cancel)
        event->ignore();
}

void Bar::endProgram()
{
    Deck.silence();
    Deck.DMC.TerminateBASS();
    Timer2.stop();
    Timer3.stop();
    LoopTimer.stop();
    AppModul::EndProgram();
}

// ---- Pads -------------------------------------------------------------------------------------

void Bar::Picture6_MouseDown(int index, int, int, double, double)
{
    if (!takePadPress(index))
        Deck.press(index);
}

void Bar::Picture6_MouseUp(int index, int, int, double, double)
{
    Deck.release(index);
}

QString Bar::PadToolTip(int index) const
{
    const PadBindings::Pad& pad = Bindings.pad(index);
    QString tip = pad.fileName.isEmpty() ? QStringLiteral("Pad %1: no sound").arg(index + 1)
                  : pad.missing ? QStringLiteral("%1 (missing from Sounds)").arg(pad.fileName)
                                : pad.fileName;
    const QString keys = PadKeysText ? PadKeysText(index) : QString();
    if (!keys.isEmpty())
        tip += QStringLiteral("\nKeys: ") + keys;
    return tip;
}

void Bar::ShowPadNames()
{
    for (int i = 0; i < kPadCount; ++i) {
        const PadBindings::Pad& pad = Bindings.pad(i);
        PadNames[i]->setName(pad.fileName, pad.missing);
        Picture6[i]->setToolTip(PadToolTip(i));
    }
}

void Bar::followPlayingPad()
{
    // Only the shown bank's pads are drawn: a loop of another bank plays on unseen.
    const short active = Deck.shownActivePad();
    const short pending = Deck.shownPendingPad();
    for (int i = 0; i < kPadCount; ++i) {
        PadNames[i]->setWaiting(i == pending && i != active);
        if (i != active)
            PadNames[i]->setLoop(-1.0, false);
    }
    if (active < kPadCount)
        LoopTimer.start();
    else
        LoopTimer.stop();
    showLoopProgress();
}

void Bar::showLoopProgress()
{
    const short active = Deck.shownActivePad();
    if (active >= kPadCount)
        return;
    // A pad left lit after STOP plays nothing: it shows no loop bar.
    const bool sounds = Deck.DMC.SampleIsActive() || Deck.DMC.StreamIsActive();
    PadNames[active]->setLoop(sounds ? Deck.loopProgress() : -1.0,
                              Deck.pendingDeckPad() == Deck.activeDeckPad());
}

// ---- Exit, title, minimise and drag -----------------------------------------------------------

void Bar::Picture3_MouseDown(int, int, double, double)
{
    DrawControl(Picture3, false);
}

void Bar::Picture3_MouseUp(int, int, double, double)
{
    endProgram();
}

void Bar::Form_MouseDown(int, int, double x, double y)
{
    Grab = QPointF(x, y);
}

void Bar::mouseMoveEvent(QMouseEvent* event)
{
    m_lastGlobalPointer = event->globalPosition();
    SkinnedForm::mouseMoveEvent(event);
}

void Bar::Form_MouseMove(int button, int, double, double)
{
    // The grabbed point stays under the pointer. Working from the pointer's screen position keeps
    // the bar steady while the window system is still catching up with the previous move. A move
    // before any press on the surface has nothing to keep and is ignored.
    if (button == kLeftButton && Grab)
        move((m_lastGlobalPointer - *Grab).toPoint());
    Label3->setForeColor(Qt::black);
}

void Bar::Label3_MouseMove(int, int, double, double)
{
    Label3->setForeColor(QColor(0, 255, 0));
}

void Bar::Label3_Click()
{
    setWindowState(windowState() | Qt::WindowMinimized);
    setWindowTitle(QStringLiteral("Quendel"));
}

void Bar::Image2_Click()
{
    TheForm<frmIntro>().ShowModal();
}

// ---- Timers -----------------------------------------------------------------------------------

QString Bar::ClockText(const QTime& time, const QLocale& locale)
{
    // The long format carries the seconds; a time zone ("t") has no place on the clock.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return locale.toString(time, format.trimmed());
}

void Bar::Timer3_Timer()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    constexpr int kPastTheSecondMs = 5;
    Timer3.start(static_cast<int>(1000 - now % 1000) + kPastTheSecondMs);
    // A tick that comes early finds the second the clock already shows: nothing to draw.
    const qint64 second = now / 1000;
    if (second == m_clockSecond)
        return;
    m_clockSecond = second;
    Label4->setText(ClockText(QTime::currentTime(), QLocale::system()));
    Label5->setText(Label4->text());
}

// ---- Shared helpers ---------------------------------------------------------------------------

QPoint Bar::ToolWindowPosition(int offset) const
{
    return pos() + kImage1.topLeft() + QPoint(offset, offset);
}

void Bar::showStatus(const QString& text)
{
    StatusLine->showMessage(text);
}

void Bar::sayStartNotes()
{
    // Any window may store a setting, on any thread: the bar hears of every change lost.
    SetSettingsNotSavedListener([bar = QPointer<Bar>(this)](const QString&) {
        if (bar)
            QMetaObject::invokeMethod(bar, [bar] {
                if (bar)
                    bar->saySettingsNotSaved();
            });
    });
    if (!SettingsCanBeSaved(AppModul::SettingsFile))
        saySettingsNotSaved();
    if (!Deck.DMC.engine().host().deviceOpen()) {
        const QString note = OutputMenu::noDeviceNote();
        std::fprintf(stderr, "quendel: %s\n", qUtf8Printable(note));
        StatusLine->queueMessage(note);
    }
}

void Bar::saySettingsNotSaved()
{
    if (std::exchange(m_saidSettingsNotSaved, true))
        return;
    const QString note = QStringLiteral("Settings cannot be saved to %1")
                             .arg(QDir::toNativeSeparators(AppModul::SettingsFile));
    std::fprintf(stderr, "quendel: %s\n", qUtf8Printable(note));
    // At once, over any other note: the change just made is already lost.
    StatusLine->showMessage(note);
}
