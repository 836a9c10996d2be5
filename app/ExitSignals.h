#pragma once

#include <QObject>

class QSocketNotifier;

// The ways the system ends the program, as one Qt signal on the main
// thread: SIGTERM, SIGINT, SIGHUP, and the end of the desktop session (the
// session manager's "die", which reaches the application as a quit
// request).
class ExitSignals : public QObject
{
    Q_OBJECT

public:
    explicit ExitSignals(QObject *parent = nullptr);
    ~ExitSignals() override;

signals:
    void received();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QSocketNotifier *m_notifier = nullptr;
};
