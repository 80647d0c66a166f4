#pragma once

#include "core/shell/Layout.h"
#include "core/shell/Runtime.h"

#include <QWidget>
#include <vector>

class QTimer;

namespace frontend {

// A top-level window made from its layout table: one widget per row (nullptr for a timer), named after the
// control ("Label5", "Text1_0"), in the table's order, so that later rows are drawn above earlier ones.
class FormWidget : public QWidget {
    Q_OBJECT

public:
    FormWidget(shell::FormId id, const shell::FormLayout& layout);

    shell::FormId id() const { return m_id; }
    // The widget of a row; raises the toolkit-failure run-time error for a row the table does not have or a timer.
    QWidget& control(shell::ControlIndex index) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    shell::FormId m_id;
    const shell::FormLayout& m_layout;
    std::vector<QWidget*> m_controls;
};

} // namespace frontend
