// Starts the real program window on a benchmark's notebook folder, offscreen, with backups
// turned off so that no run copies the whole notebook.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <fstream>
#include <memory>
#include <string>

#include "app/window/main_window.h"
#include "app/window/program.h"
#include "common/qt_text.h"

namespace qm::bench {

inline std::unique_ptr<Session> StartBenchSession(const std::string& folder) {
    std::ofstream(folder + "/Quelmar·Corvanel.ini", std::ios::binary)
        << ToGb(QStringLiteral("[主界面]\r\n触发备份的保存数=1000000000"));

    StartOptions options;
    options.programFolder = QString::fromStdString(folder);
    options.executablePath = QStringLiteral("/opt/qm/corvanel");
    options.autostartFolder = QString::fromStdString(folder + "/autostart");
    options.trayAvailable = false;
    auto session = std::make_unique<Session>(options);
    session->window().startUp();
    session->window().resize(1000, 700);
    QCoreApplication::processEvents();
    return session;
}

}  // namespace qm::bench
