#pragma once

#include "platform/Dialogs.h"

#include <QList>

#include <QStringList>

#include <functional>

// Answers the program's questions, dialogs and menus from a script, and
// records what was shown. With nothing scripted: Cancel, no file, menu
// dismissed.
class FakeDialogs final : public Dialogs
{
public:
    void information(QWidget *parent, const QString &text, const QString &title) override;
    bool question(QWidget *parent, const QString &text, const QString &title) override;
    QString getOpenFileName(QWidget *parent, const QString &classicFilter) override;
    qint16 popupMenu(QWidget *owner, const QList<MenuItem> &items) override;

    QList<bool> answers;
    QList<QString> files;
    QList<qint16> menuChoices;
    // Runs inside the next wait, as events can in a real modal loop.
    std::function<void()> duringWait;

    QStringList questionsAsked;
    QStringList titles;
    QStringList informations;
    QStringList filters;
    QList<QList<MenuItem>> menusShown;

private:
    void runDuringWait();
};
