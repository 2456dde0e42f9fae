#pragma once

#include "ovuiutility_global.h"

#include <QToolButton>

// A tool button that paints its own text in the left three quarters and a
// down arrow in the right quarter (unless the arrow is switched off).
class OVUIUTILITY_EXPORT OvToolButton : public QToolButton
{
    Q_OBJECT
public:
    explicit OvToolButton(QWidget* parent = nullptr);
    OvToolButton(const QString& name, QWidget* parent);
    ~OvToolButton() override;

    // The text that paintEvent draws; separate from QAbstractButton::text().
    void setText(const QString& text);
    QString paintedText() const;
    void setDisabledDownArrow();
    bool disabledDownArrow() const;
    void resetDefaultObjectName();

protected:
    void paintEvent(QPaintEvent* event) override;
    void drawArrow(const QString& imagePath);
    void drawText(const QColor& color);

private:
    bool m_downArrowHidden = false;
    QString m_text;
};
