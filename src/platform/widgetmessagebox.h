#pragma once

#include "platform/messagebox.h"

namespace Movendi::Platform {

// The kiosk's box: modal, on top of the full-screen screens, with a single OK button.
class WidgetMessageBox final : public MessageBox
{
public:
    void show(const QString &title, const QString &text) override;
};

} // namespace Movendi::Platform
