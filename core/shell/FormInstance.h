#pragma once

#include <QPointer>
#include <QWidget>

namespace shell {

// The one program-wide instance of a window, created and loaded on first reference.
//
// `Form` is a QWidget with a default constructor that makes the window and its controls (hidden) and a
// Form_Load() procedure. get() creates the window if there is none, runs Form_Load, and only then returns it.
// The instance is published before Form_Load runs, so a form that refers to itself by name while loading
// reaches the window being loaded instead of making a second one. A window the platform has closed counts as
// unloaded and is made and loaded again at the next reference.
template <class Form> class FormInstance {
public:
    Form& get()
    {
        if (m_form && closedByPlatform(*m_form))
            m_form = nullptr; // Qt deletes the closed window itself (WA_DeleteOnClose)
        if (!m_form) {
            m_form = new Form;
            m_form->setAttribute(Qt::WA_DeleteOnClose);
            m_form->Form_Load();
        }
        return *m_form;
    }

    // True while a window exists that has not been closed by the platform.
    bool isLoaded() const { return m_form && !closedByPlatform(*m_form); }

    // Drops the window at once. The program never does this; tests start each case with a fresh window.
    void discard() { delete m_form.data(); }

private:
    // QWidget::close() clears WA_DeleteOnClose when it accepts the close and schedules the deletion.
    static bool closedByPlatform(const Form& form) { return !form.testAttribute(Qt::WA_DeleteOnClose); }

    QPointer<Form> m_form;
};

} // namespace shell
