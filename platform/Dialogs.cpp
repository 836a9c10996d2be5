#include "Dialogs.h"

#include <QCursor>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>

void QtDialogs::information(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtDialogs::question(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

QString QtDialogs::getOpenFileName(QWidget *parent, const QString &classicFilter)
{
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(toQtNameFilters(classicFilter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

qint16 QtDialogs::popupMenu(QWidget *owner, const QList<MenuItem> &items)
{
    const QPoint at = QCursor::pos();
    QMenu menu(owner);
    for (const MenuItem &item : items) {
        QAction *action = menu.addAction(item.label);
        action->setData(int(item.id));
        action->setCheckable(item.checked);
        action->setChecked(item.checked);
    }
    // An item triggered without the mouse or keys (assistive technology
    // presses it) does not end exec() by itself.
    QPointer<QAction> triggered;
    QObject::connect(&menu, &QMenu::triggered, &menu, [&](QAction *action) {
        triggered = action;
        menu.close();
    });
    QPointer<QAction> chosen = menu.exec(at);
    if (!chosen)
        chosen = triggered;
    return chosen ? qint16(chosen->data().toInt()) : qint16(0);
}

QStringList toQtNameFilters(const QString &classicFilter)
{
    const QStringList parts = classicFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            const QString pattern = p.trimmed();
            // Qt's own dialog matches names without regard to case.
            patterns << (pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern);
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}
