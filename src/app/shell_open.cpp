#include "app/shell_open.h"
#include "app/app_namespace.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

#include <array>

namespace kestrova::app {

namespace {

std::function<int(const std::string&)> shellOpenHook;

// The field codes that stand for the target in a browser command.
constexpr std::array<char, 5> kFieldCodes = {'1', 'u', 'U', 'f', 'F'};

bool IsFieldCode(char c) {
    for (char code : kFieldCodes) {
        if (c == code) {
            return true;
        }
    }
    return false;
}

// Value of key in the [group] of an ini-style file (desktop entries, mimeapps.list).
QString IniValue(const QString& path, const QString& group, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return QString();
    }
    QTextStream in(&file);
    bool inGroup = false;
    while (!in.atEnd()) {
        QString line = in.readLine().trimmed();
        if (line.startsWith('[')) {
            inGroup = line == "[" + group + "]";
        } else if (inGroup && line.startsWith(key + "=")) {
            return line.mid(key.size() + 1).trimmed();
        }
    }
    return QString();
}

// The desktop file id of the default browser ("firefox.desktop").
QString DefaultBrowserId() {
    QProcess settings;
    settings.start("xdg-settings", {"get", "default-web-browser"});
    if (settings.waitForFinished(3000) && settings.exitCode() == 0) {
        QString id = QString::fromLocal8Bit(settings.readAllStandardOutput()).trimmed();
        if (!id.isEmpty()) {
            return id;
        }
    }
    QStringList lists;
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        lists << dir + "/mimeapps.list";
    }
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        lists << dir + "/mimeapps.list";
    }
    for (const QString& list : lists) {
        for (const char* type : {"x-scheme-handler/http", "text/html"}) {
            QString ids = IniValue(list, "Default Applications", type);
            if (!ids.isEmpty()) {
                return ids.split(';', Qt::SkipEmptyParts).value(0);
            }
        }
    }
    return QString();
}

} // namespace

std::string CutBrowserCommand(const std::string& command) {
    for (size_t i = 0; i + 3 < command.size(); ++i) {
        if (command[i] == '"' && command[i + 1] == '%' && IsFieldCode(command[i + 2]) &&
            command[i + 3] == '"') {
            return command.substr(0, i);
        }
    }
    for (size_t i = 0; i + 1 < command.size(); ++i) {
        if (command[i] == '%' && IsFieldCode(command[i + 1])) {
            return command.substr(0, i);
        }
    }
    return command;
}

std::string BrowserLaunchCommand(const std::string& command, const std::string& target) {
    return CutBrowserCommand(command) + " " + target;
}

std::string DefaultBrowserCommand() {
    QString id = DefaultBrowserId();
    if (id.isEmpty()) {
        return std::string();
    }
    QString desktopFile = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    if (desktopFile.isEmpty()) {
        return std::string();
    }
    return IniValue(desktopFile, "Desktop Entry", "Exec").toStdString();
}

void SetShellOpenHook(std::function<int(const std::string&)> hook) {
    shellOpenHook = std::move(hook);
}

int ShellOpen(const std::string& target) {
    if (shellOpenHook) {
        return shellOpenHook(target);
    }
    QString text = QString::fromStdString(target);
    QUrl url = QFileInfo::exists(text) ? QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath())
                                       : QUrl::fromUserInput(text);
    if (QDesktopServices::openUrl(url)) {
        return kShellOpened;
    }
    std::string browser = DefaultBrowserCommand();
    if (browser.empty()) {
        return kShellNoAssociation;
    }
    // The target is one argument as it stands, spaces and all.
    QStringList words = QProcess::splitCommand(QString::fromStdString(CutBrowserCommand(browser)));
    if (words.isEmpty()) {
        return kShellNoAssociation;
    }
    QString program = words.takeFirst();
    words << text;
    return QProcess::startDetached(program, words) ? kShellOpened : kShellLaunchFailed;
}

} // namespace kestrova::app
