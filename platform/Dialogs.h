#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

class QWidget;

// One item of a pop-up menu: its label, the id the menu returns when it is
// chosen, and whether it shows the check mark.
struct MenuItem {
    QString label;
    qint16 id = 0;
    bool checked = false;
};

// The modal waits of the program: message boxes, the file-open dialog and
// pop-up menus. Each call runs its own event loop until the user answers.
// Tests replace it with one that answers by script.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // Information box with a single OK button.
    virtual void information(QWidget *parent, const QString &text, const QString &title) = 0;

    // OK/Cancel box, no icon, OK the default; true only for OK.
    virtual bool question(QWidget *parent, const QString &text, const QString &title) = 0;

    // Full path of the chosen file, or "" when nothing was chosen. The filter
    // is in the classic "description|pattern|description|pattern" form.
    virtual QString getOpenFileName(QWidget *parent, const QString &classicFilter) = 0;

    // Shows the items at the mouse pointer; the chosen id, or 0 when dismissed.
    virtual qint16 popupMenu(QWidget *owner, const QList<MenuItem> &items) = 0;
};

class QtDialogs final : public Dialogs
{
public:
    void information(QWidget *parent, const QString &text, const QString &title) override;
    bool question(QWidget *parent, const QString &text, const QString &title) override;
    QString getOpenFileName(QWidget *parent, const QString &classicFilter) override;
    qint16 popupMenu(QWidget *owner, const QList<MenuItem> &items) override;
};

// "文本文件|*.txt|所有文件|*.*" -> name filters for Qt's file dialog.
QStringList toQtNameFilters(const QString &classicFilter);
