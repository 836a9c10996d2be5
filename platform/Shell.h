#pragma once

#include <QUrl>

// Opens locations in the user's desktop applications (the browser).
class Shell
{
public:
    virtual ~Shell() = default;
    virtual bool openUrl(const QUrl &url) = 0;
};

class DesktopShell final : public Shell
{
public:
    bool openUrl(const QUrl &url) override;
};
