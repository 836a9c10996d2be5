#pragma once

#include <QMetaObject>
#include <QString>

#include <functional>

class QObject;

// What reading aloud needs of the document view: its text and its caret.
// The view implements it; a plain object can stand in for it.
class ReadingView
{
public:
    virtual ~ReadingView() = default;

    // The whole document shown; the old one while a new one is decoding.
    virtual const QString &Text() const = 0;
    virtual bool isDecoding() const = 0;
    // Moves the caret (zero-based) there and scrolls it into view.
    virtual void setSelStart(qint32 position) = 0;
    // Calls ready, while context lives, whenever Text() becomes a new document.
    virtual QMetaObject::Connection onTextReady(QObject *context, std::function<void()> ready) = 0;
};
