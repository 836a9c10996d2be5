#include "DocumentLoader.h"

#include "TextDecoding.h"

#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

DocumentLoader::DocumentLoader(QObject *parent) : QObject(parent)
{
    connect(&m_decoding, &QFutureWatcher<Decoded>::finished, this, &DocumentLoader::finish);
}

DocumentLoader::~DocumentLoader()
{
    cancel();
    if (m_decoding.isRunning())
        m_decoding.waitForFinished();
}

bool DocumentLoader::load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxFileBytes)
        return false;
    if (!QFile(path).open(QIODevice::ReadOnly))
        return false;
    cancel();
    const quint64 generation = m_generation;
    m_busy = true;
    m_decoding.setFuture(QtConcurrent::run([path, generation] {
        Decoded result;
        result.generation = generation;
        result.ok = TextDecoding::decodeFile(path, result.text, result.lines);
        return result;
    }));
    return true;
}

void DocumentLoader::cancel()
{
    ++m_generation;
    m_busy = false;
}

void DocumentLoader::finish()
{
    QFuture<Decoded> future = m_decoding.future();
    if (future.resultCount() == 0)
        return;
    Decoded result = future.takeResult();
    // Let go of the text also when the load was given up meanwhile.
    m_decoding.setFuture(QFuture<Decoded>());
    if (result.generation != m_generation)
        return;
    m_busy = false;
    if (result.ok)
        emit loaded(result.text, result.lines);
    else
        emit failed();
}
