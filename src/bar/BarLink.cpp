// SPDX-License-Identifier: GPL-3.0-or-later
// The bar in an Ableton Link session: the output menu's switches, the tempo strip's count of the
// other players.

#include "Bar.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"

void Bar::setLink(bool on, bool startStop)
{
    if (!on) {
        Link.reset();
        Strip->showLinkPeers(-1);
        return;
    }
    if (!Link) {
        Link = std::make_unique<LinkDeck>(Deck);
        QObject::connect(Link.get(), &LinkDeck::peersChanged, Strip,
                         [this](int peers) { Strip->showLinkPeers(peers); });
        Strip->showLinkPeers(Link->peers());
    }
    Link->setStartStopSync(startStop);
}

void Bar::addLinkEntries(QMenu& menu)
{
    const QByteArray settings = ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
    const bool startStop = LinkDeck::StartStopIn(settings);
    QAction* link = menu.addAction(QStringLiteral("Ableton Link"));
    link->setCheckable(true);
    link->setChecked(Link != nullptr);
    link->setToolTip(QStringLiteral("Shares the tempo and the bar with other players on the "
                                    "network"));
    QObject::connect(link, &QAction::toggled, this, [this, startStop](bool on) {
        LinkDeck::StoreLink(on);
        setLink(on, startStop);
    });
    QAction* shared = menu.addAction(QStringLiteral("Link start/stop"));
    shared->setCheckable(true);
    shared->setChecked(startStop);
    QObject::connect(shared, &QAction::toggled, this, [this](bool on) {
        LinkDeck::StoreStartStop(on);
        if (Link)
            Link->setStartStopSync(on);
    });
}
