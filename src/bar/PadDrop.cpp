// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadDrop.h"

#include "Bar.h"
#include "core/PadCount.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "import/SoundDrops.h"
#include "import/SoundImporter.h"
#include "settings/FileListDrop.h"
#include "settings/Settings.h"
#include "skin/SkinLayout.h"

#include <QDropEvent>
#include <QPainter>

namespace {

QString padKey(int pad)
{
    return QStringLiteral("Sample %1").arg(pad + 1);
}

bool isBound(int pad)
{
    using namespace AppModul;
    return !ReadSetting(PadSection, padKey(pad), SettingsFile, QString()).isEmpty();
}

// A thin amber frame over a pad: it leaves the pad's own face (which the deck draws) alone.
class DropMarker : public QWidget {
public:
    explicit DropMarker(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0xff, 0xa8, 0x30, 200), 2.0));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
};

QString boundNote(const QStringList& names, const std::vector<int>& pads)
{
    QStringList numbers;
    for (int pad : pads)
        numbers << QString::number(pad + 1);
    if (names.size() == 1)
        return QStringLiteral("Bound %1 to pad %2").arg(names.first(), numbers.first());
    const QString last = numbers.takeLast();
    return QStringLiteral("Bound %1 files to pads %2 and %3")
        .arg(names.size())
        .arg(numbers.join(QStringLiteral(", ")), last);
}

} // namespace

PadDrop::PadDrop(Bar& bar) : QObject(&bar), m_bar(bar), m_marker(new DropMarker(&bar))
{
    bar.setAcceptDrops(true);
    bar.installEventFilter(this);
}

int PadDrop::PadAt(QPoint point)
{
    for (int pad = 0; pad < kPadCount; ++pad) {
        if (SkinLayout::padRect(pad).contains(point))
            return pad;
    }
    return -1;
}

std::vector<int> PadDrop::TargetPads(int first, int count, const std::function<bool(int)>& bound)
{
    std::vector<int> pads;
    int next = first;
    for (int k = 0; k < count; ++k) {
        if (k > 0) {
            while (next < kPadCount && bound(next))
                ++next;
        }
        pads.push_back(next < kPadCount ? next : -1);
        if (next < kPadCount)
            ++next;
    }
    return pads;
}

void PadDrop::markPad(int pad)
{
    if (pad < 0) {
        m_marker->hide();
        return;
    }
    m_marker->setGeometry(SkinLayout::padRect(pad));
    m_marker->raise();
    m_marker->show();
}

bool PadDrop::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_bar)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        // Only a drag of files, and only over a pad: elsewhere on the bar it would go nowhere.
        const int pad =
            SoundDrops::CarriesFiles(drag->mimeData()) ? PadAt(drag->position().toPoint()) : -1;
        if (pad < 0 || !SoundDrops::TakeAsCopy(drag)) {
            drag->ignore();
            markPad(-1);
            return true;
        }
        markPad(pad);
        return true;
    }
    case QEvent::DragLeave:
        markPad(-1);
        return true;
    case QEvent::Drop: {
        auto* dropped = static_cast<QDropEvent*>(event);
        markPad(-1);
        const int pad = PadAt(dropped->position().toPoint());
        const SoundDrops::DraggedFiles files = SoundDrops::FilesOf(dropped->mimeData());
        if (pad < 0 || files.paths.isEmpty() || !SoundDrops::TakeAsCopy(dropped)) {
            dropped->ignore();
            return true;
        }
        drop(pad, files.paths, files.problems);
        return true;
    }
    default:
        return false;
    }
}

void PadDrop::drop(int pad, const QStringList& paths, const QStringList& problems)
{
    SoundImporter::shared().import(
        paths, AppModul::SoundsFolder, this,
        [this](const QString& text) { m_bar.showStatus(text); },
        [this, pad, problems](const ImportOutcome& outcome) { bind(pad, outcome, problems); });
}

void PadDrop::bind(int pad, const ImportOutcome& outcome, QStringList problems)
{
    using namespace AppModul;
    problems << outcome.problems;
    // The pads are chosen now, not at the drop: a copy takes time, and what is bound by then
    // counts.
    const std::vector<int> pads = TargetPads(pad, static_cast<int>(outcome.names.size()), isBound);
    QStringList bound, unplaced;
    std::vector<int> boundPads;
    for (qsizetype k = 0; k < outcome.names.size(); ++k) {
        const int target = pads[static_cast<std::size_t>(k)];
        if (target < 0) {
            unplaced << outcome.names[k];
            continue;
        }
        WriteSetting(PadSection, padKey(target), outcome.names[k], SettingsFile);
        bound << outcome.names[k];
        boundPads.push_back(target);
    }

    // An open settings window lists the new files and shows its selected pad's new binding.
    if (Settings* settings = LoadedForm<Settings>(); settings && settings->File1Drop)
        settings->File1Drop->soundsChanged();

    QStringList notes;
    if (!bound.isEmpty())
        notes << boundNote(bound, boundPads);
    if (unplaced.size() == 1)
        notes << QStringLiteral("no free pad left for %1").arg(unplaced.first());
    else if (!unplaced.isEmpty())
        notes << QStringLiteral("no free pad left for %1 files").arg(unplaced.size());
    if (!problems.isEmpty())
        notes << SoundDrops::ProblemSummary(problems);
    m_bar.showStatus(notes.join(QStringLiteral("; ")));
}
