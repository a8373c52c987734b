// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <cstdlib>
#include <functional>
#include <type_traits>
#include <utility>

// Base of the five windows. Each exists at most once per process (TheForm<W>()), and using a
// window that is not loaded loads it: the controls return to their design values and Form_Load
// runs. Unloading runs Form_Unload and hides the window, but the object and the state it keeps
// outside its controls live on until the process ends, so a reopened window finds them again.
class Form : public QWidget {
public:
    explicit Form(QWidget* parent = nullptr);

    bool isLoaded() const { return m_loaded; }
    void Load();
    void Unload();
    // Shows the window modally: the caller waits here, and the other windows take no input, until
    // the window is hidden or unloaded.
    void ShowModal();

protected:
    // Puts every control back to its design value; runs before each Form_Load.
    virtual void InitializeControls() {}
    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    void hideEvent(QHideEvent* event) override;
    // Closing a window from the window system unloads it, so its unload handler runs.
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_loaded = false;
    class QEventLoop* m_modalLoop = nullptr;
};

namespace FormRegistry {
// Called once per window type when its single instance is created.
void registerInstance(std::function<void()> destroy);
// Destroys every window instance, so that the next use creates and loads it afresh. For tests,
// which build a new program folder for every case.
void DestroyAll();
} // namespace FormRegistry

template <class W> struct FormSlot {
    static inline W* instance = nullptr;
};

// The single instance of window W, created and loaded on first use. A window that needs parts
// of the program (the audio engine) is handed them at its creation: `args` go to its
// constructor then, and are not needed once it exists.
template <class W, class... Args> W& TheForm(Args&&... args)
{
    W*& slot = FormSlot<W>::instance;
    if (slot == nullptr) {
        if constexpr (std::is_constructible_v<W, Args...>) {
            slot = new W(std::forward<Args>(args)...);
        } else {
            // Asked for without what it needs before anyone created it: a program error.
            std::abort();
        }
        FormRegistry::registerInstance([] {
            delete FormSlot<W>::instance;
            FormSlot<W>::instance = nullptr;
        });
    }
    slot->Load();
    return *slot;
}

// Window W if it exists and is loaded, without loading it.
template <class W> W* LoadedForm()
{
    W* form = FormSlot<W>::instance;
    return form != nullptr && form->isLoaded() ? form : nullptr;
}
