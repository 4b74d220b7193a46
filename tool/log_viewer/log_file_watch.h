// Tells when the event log changes: a line appended, the file created,
// deleted or replaced. The folder is watched as well, since a file that is
// deleted and written anew is a new file that a watch on the old one misses.
#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

namespace talvern {

class LogFileWatch : public QObject {
    Q_OBJECT
public:
    explicit LogFileWatch(QObject* parent = nullptr);

    // Watches `path` from now on, instead of what was watched before.
    void watch(const QString& path);
    void stop();

signals:
    void changed();

private:
    struct Stamp {
        bool exists = false;
        qint64 size = 0;
        QDateTime modified;
        bool operator==(const Stamp&) const = default;
    };
    Stamp stampNow() const;
    void onPathChanged();

    QString path_;
    QFileSystemWatcher watcher_;
    Stamp stamp_;
};

}  // namespace talvern
