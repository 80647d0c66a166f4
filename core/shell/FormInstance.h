#pragma once

#include "core/shell/Program.h"

#include <memory>

namespace shell {

// The one program-wide instance of a window, created and loaded on first reference.
//
// `Form` has a constructor taking nothing, a static `Id` and `Layout`, and a Form_Load() procedure. get() creates
// the instance if there is none, has the runtime make its window from the layout, runs Form_Load, and only then
// returns it. The window counts as loaded before Form_Load runs, so a form that refers to itself by name while
// loading reaches the window being loaded instead of making a second one. After the platform has closed the window
// (unloaded), the instance and its data remain and the next reference loads it again.
template <class Form> class FormInstance {
public:
    Form& get()
    {
        if (!m_form)
            m_form = std::make_unique<Form>();
        if (!m_loaded) {
            runtime().createWindow(Form::Id, Form::Layout);
            m_loaded = true;
            m_form->Form_Load();
        }
        return *m_form;
    }

    bool isLoaded() const { return m_loaded; }
    // The instance when loaded, without referring to it (no load); for delivering events.
    Form* loaded() { return m_loaded ? m_form.get() : nullptr; }
    // The platform has closed the window.
    void unloaded() { m_loaded = false; }
    // Drops the instance. The program never does this; tests start each case with a fresh one.
    void discard()
    {
        m_form.reset();
        m_loaded = false;
    }

private:
    std::unique_ptr<Form> m_form;
    bool m_loaded = false;
};

} // namespace shell
