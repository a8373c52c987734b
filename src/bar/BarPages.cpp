// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bar.h"

#include "audio/AudioEngine.h"
#include "settings/Settings.h"
#include "tonegen/frmToneGen.h"
#include "tuner/Tuner.h"

#include <type_traits>

// The bar's pages: the pads, the tuner, the tone generator and the settings, each but the first
// with its tool window laid over the pads and kept there while the bar moves.

namespace {
template <class W> void unloadIfLoaded()
{
    if (W* window = LoadedForm<W>())
        window->Unload();
}
} // namespace

// A tool window is made with the engine when it plays on one of its own, and is given the deck
// when it plays on the pads' control.
template <class W> W& Bar::toolWindow()
{
    W* window = nullptr;
    if constexpr (std::is_constructible_v<W, AudioEngine&>)
        window = &TheForm<W>(Deck.DMC.engine());
    else
        window = &TheForm<W>();
    if constexpr (requires { window->attachDeck(Deck); })
        window->attachDeck(Deck);
    // The band pitch the tuner heard tunes the pads.
    if constexpr (std::is_same_v<W, Tuner>)
        QObject::connect(window, &Tuner::bandPitchAccepted, &Deck.Tempo, &SessionTempo::setBandA4,
                         Qt::UniqueConnection);
    return *window;
}

void Bar::leaveToneGeneratorPage()
{
    unloadIfLoaded<frmToneGen>();
    // Ends what the tone generator played on the bar's control (its pink noise); a pad's
    // stream is left alone.
    Deck.DMC.SampleChanToModify(1);
    if (Deck.DMC.SampleIsActive())
        Deck.DMC.StopSample();
}

void Bar::drawPageButtons(PictureBox* lit)
{
    for (PictureBox* button : Picture1)
        DrawControl(button, false);
    DrawControl(Picture4, false);
    DrawControl(lit, true);
}

void Bar::Picture1_MouseDown(int index, int, int, double, double)
{
    if (CurrentPage == 1 && index != 1)
        unloadIfLoaded<Tuner>();
    if (CurrentPage == 2 && index != 2)
        leaveToneGeneratorPage();
    if (CurrentPage == 3) {
        unloadIfLoaded<Settings>();
        Bindings.reload(); // the pads are seen again with what was bound meanwhile
    }
    CurrentPage = static_cast<short>(index);
    followCurrentPage();
    drawPageButtons(Picture1[index]);

    if (index == 1 || index == 2) { // the tuner and the tone generator silence the pads
        Deck.silence();
        Deck.forgetActivePad();
    } else if (Deck.shownActivePad() < kPadCount) {
        Deck.setLit(Deck.shownActivePad(), true);
    }

    if (index == 1) {
        Tuner& tuner = toolWindow<Tuner>();
        tuner.move(ToolWindowPosition());
        tuner.show();
    } else if (index == 2) {
        frmToneGen& toneGen = toolWindow<frmToneGen>();
        toneGen.move(ToolWindowPosition(-1));
        toneGen.show();
    }
}

void Bar::Picture4_MouseDown(int, int, double, double)
{
    if (CurrentPage == 1)
        unloadIfLoaded<Tuner>();
    if (CurrentPage == 2)
        leaveToneGeneratorPage();
    CurrentPage = 3;
    followCurrentPage();
    drawPageButtons(Picture4);

    Settings& settings = toolWindow<Settings>();
    settings.move(ToolWindowPosition());
    settings.ShowPage(); // the window sets its sliders from the settings file
}

// ---- Following the bar ------------------------------------------------------------------------

void Bar::followCurrentPage()
{
    // On the pad page there is nothing to follow, and an idle bar should not wake for nothing.
    if (CurrentPage == 0)
        Timer2.stop();
    else if (!Timer2.isActive())
        Timer2.start();
}

void Bar::Timer2_Timer()
{
    // Placing the window of the current page loads it if it is not loaded (without showing it).
    switch (CurrentPage) {
    case 1:
        toolWindow<Tuner>().move(ToolWindowPosition());
        break;
    case 2:
        toolWindow<frmToneGen>().move(ToolWindowPosition(-1));
        break;
    case 3:
        toolWindow<Settings>().move(ToolWindowPosition());
        break;
    default:
        break;
    }
}
