#pragma once

#include <QHBoxLayout>

// A horizontal box layout without spacing or margins.
class HNsNmLayout : public QHBoxLayout
{
public:
    explicit HNsNmLayout(QWidget* parent = nullptr) : QHBoxLayout(parent)
    {
        setSpacing(0);
        setContentsMargins(0, 0, 0, 0);
    }
    ~HNsNmLayout() override = default;
};
