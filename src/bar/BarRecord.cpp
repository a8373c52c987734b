// SPDX-License-Identifier: GPL-3.0-or-later
// Recording loops from the bar: the Record key and the menu arm a pad, end its take, undo it,
// and set how takes are made.

#include "Bar.h"
#include "core/PadBanks.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"

#include <QActionGroup>
#include <QMenu>

namespace {

QString barsText(int bars)
{
    return bars == 0   ? QStringLiteral("Until pressed again")
           : bars == 1 ? QStringLiteral("1 bar")
                       : QStringLiteral("%1 bars").arg(bars);
}

} // namespace

void Bar::recordPressed()
{
    if (Recorder.taking()) {
        Recorder.press();
        return;
    }
    if (Recorder.phase() != LoopRecorder::Phase::Idle)
        return;
    RecordArming = !RecordArming;
    showStatus(RecordArming ? QStringLiteral("Press the pad to record onto")
                            : QStringLiteral("No take"));
}

bool Bar::takePadPress(int index)
{
    const int pad = PadBanks::DeckPad(index);
    if (RecordArming) {
        RecordArming = false;
        const QByteArray settings = ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
        Recorder.arm(pad, LoopRecorder::StoredBars(settings));
        return true;
    }
    if (Recorder.taking() && Recorder.pad() == pad) {
        Recorder.press();
        return true;
    }
    return false;
}

void Bar::showTake()
{
    const LoopRecorder::Phase phase = Recorder.phase();
    const PadOverlay::Take take = phase == LoopRecorder::Phase::Armed ? PadOverlay::Take::Armed
                                  : phase == LoopRecorder::Phase::Recording
                                      ? PadOverlay::Take::Recording
                                      : PadOverlay::Take::None;
    for (int index = 0; index < kPadCount; ++index)
        PadNames[index]->setTake(
            PadBanks::DeckPad(index) == Recorder.pad() ? take : PadOverlay::Take::None);
}

void Bar::addRecordEntries(QMenu& menu)
{
    menu.addSeparator();
    QMenu* record = menu.addMenu(QStringLiteral("Record"));
    QObject::connect(record->addAction(QStringLiteral("Arm a pad (Insert)")), &QAction::triggered,
                     this, [this] {
                         if (!RecordArming)
                             recordPressed();
                     });
    record->addSeparator();
    const int stored =
        LoopRecorder::StoredBars(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()));
    auto* lengths = new QActionGroup(record);
    for (const int bars : LoopRecorder::kBarChoices) {
        QAction* action = record->addAction(barsText(bars));
        action->setCheckable(true);
        action->setChecked(bars == stored);
        lengths->addAction(action);
        QObject::connect(action, &QAction::triggered, this,
                         [bars] { LoopRecorder::StoreBars(bars); });
    }
    record->addSeparator();
    QAction* monitor = record->addAction(QStringLiteral("Monitor input"));
    monitor->setCheckable(true);
    monitor->setChecked(Recorder.monitoring());
    QObject::connect(monitor, &QAction::toggled, this,
                     [this](bool on) { Recorder.setMonitoring(on); });
    QObject::connect(record->addAction(QStringLiteral("Measure round trip")), &QAction::triggered,
                     this, [this] { Recorder.measureRoundTrip(); });
    QAction* undo = record->addAction(QStringLiteral("Undo take"));
    undo->setEnabled(Recorder.canUndo());
    QObject::connect(undo, &QAction::triggered, this, [this] { Recorder.undo(); });
}
