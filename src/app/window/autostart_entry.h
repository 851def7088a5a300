// Start with the system: an XDG autostart entry "Quelmar·Corvanel.desktop" that runs the
// executable with the argument yes (start hidden in the tray).
#pragma once

#include <QByteArray>
#include <QString>

namespace qm {

class AutostartEntry {
public:
    // `folder` is the autostart folder (DefaultFolder() in the program, a temporary one in
    // tests); `executablePath` the absolute path of the program.
    AutostartEntry(QString folder, QString executablePath);

    // $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when that is unset or relative.
    static QString DefaultFolder();

    QString filePath() const;
    // The whole file as it should be; its Exec line is the quoted program path and yes.
    QByteArray expectedContent() const;

    bool exists() const;
    // True when the file holds exactly expectedContent().
    bool isCurrent() const;
    // Writes the file (creating the folder). Returns false when it cannot be written.
    bool write() const;
    // Deletes the file. Returns false when it exists and cannot be deleted.
    bool remove() const;
    // Keeps the entry in step with the check mark: wanted -> written unless already current;
    // not wanted -> deleted when present. Returns false when the file system refused;
    // nothing is reported to the user for that.
    bool sync(bool wanted) const;

private:
    QString folder_;
    QString executablePath_;
};

}  // namespace qm
