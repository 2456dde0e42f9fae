#pragma once

#include <QVBoxLayout>

// A vertical box layout without spacing or margins.
class VNsNmLayout : public QVBoxLayout
{
public:
    explicit VNsNmLayout(QWidget* parent = nullptr) : QVBoxLayout(parent)
    {
        setSpacing(0);
        setContentsMargins(0, 0, 0, 0);
    }
    ~VNsNmLayout() override = default;
};
