// Drives the simulated receiver through its own tool, with a state file of
// the caller's own.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace config_test {

class SimulatedReceiverState
{
public:
    // The library reads the variable on every call, so setting it before the
    // first dialog opens is enough.
    SimulatedReceiverState() { qputenv("TAVROLIN_SIMULATOR_STATE", Path().toLocal8Bit()); }

    bool IsValid() const { return dir.isValid(); }
    QString Path() const { return dir.filePath(QStringLiteral("receiver.state")); }

    bool Run(const QStringList& arguments) const
    {
        QProcess tool;
        tool.start(QStringLiteral(TAVROLIN_SIMULATOR_TOOL),
                   QStringList{QStringLiteral("--state"), Path()} + arguments);
        return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit &&
               tool.exitCode() == 0;
    }

private:
    QTemporaryDir dir;
};

} // namespace config_test
