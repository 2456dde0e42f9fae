#pragma once

#include <OvUIUtility/OvLineEdit.h>

// The kit's line edit without its drag-to-adjust-a-number gesture: in the
// console's fields (addresses, ports, passwords) a drag selects text as in any
// line edit and never rewrites it. Clicking still gives it the focus.
class OvPlainLineEdit : public OvLineEdit
{
    Q_OBJECT
public:
    explicit OvPlainLineEdit(QWidget* parent = nullptr);
    ~OvPlainLineEdit() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};
