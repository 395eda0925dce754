#pragma once

#include "platform/Desktop.h"

class TQtDesktop : public IDesktop {
public:
    bool openUrl(const QString& url) override;
    bool openFile(const QString& path) override;
};
