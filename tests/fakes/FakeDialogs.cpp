#include "FakeDialogs.h"

void FakeDialogs::runDuringWait()
{
    if (duringWait) {
        auto run = std::move(duringWait);
        duringWait = nullptr;
        run();
    }
}

void FakeDialogs::information(QWidget *, const QString &text, const QString &title)
{
    informations.append(text);
    titles.append(title);
}

bool FakeDialogs::question(QWidget *, const QString &text, const QString &title)
{
    questionsAsked.append(text);
    titles.append(title);
    runDuringWait();
    return answers.isEmpty() ? false : answers.takeFirst();
}

QString FakeDialogs::getOpenFileName(QWidget *, const QString &classicFilter)
{
    filters.append(classicFilter);
    runDuringWait();
    return files.isEmpty() ? QString() : files.takeFirst();
}

qint16 FakeDialogs::popupMenu(QWidget *, const QList<MenuItem> &items)
{
    menusShown.append(items);
    runDuringWait();
    return menuChoices.isEmpty() ? qint16(0) : menuChoices.takeFirst();
}
