#include "DocumentLoader.h"

#include "TextDecoding.h"

#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

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

DocumentLoader::Ahead &DocumentLoader::ahead()
{
    static Ahead one;
    return one;
}

QFuture<DocumentLoader::Decoded> DocumentLoader::decode(const QString &path)
{
    return QtConcurrent::run([path] {
        Decoded result;
        result.ok = TextDecoding::decodeFile(path, result.text, result.lines);
        return result;
    });
}

void DocumentLoader::prefetch(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || info.size() > kMaxFileBytes)
        return;
    ahead() = {info.absoluteFilePath(), info.lastModified(), info.size(), decode(path)};
}

void DocumentLoader::dropPrefetched()
{
    ahead() = {};
}

QFuture<DocumentLoader::Decoded> DocumentLoader::takePrefetched(const QString &path)
{
    const QFileInfo info(path);
    const Ahead taken = std::exchange(ahead(), {});
    const bool same = info.absoluteFilePath() == taken.path && info.lastModified() == taken.modified
                      && info.size() == taken.size;
    // Another file, or changed since: given up (it lets go of its text as
    // it ends).
    return same ? taken.decoding : QFuture<Decoded>();
}

bool DocumentLoader::load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxFileBytes)
        return false;
    if (!QFile(path).open(QIODevice::ReadOnly))
        return false;
    cancel();
    m_busy = true;
    m_decodingGeneration = m_generation;
    QFuture<Decoded> ahead = takePrefetched(path);
    m_decoding.setFuture(ahead.isValid() ? ahead : decode(path));
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
    if (m_decodingGeneration != m_generation)
        return;
    m_busy = false;
    if (result.ok)
        emit loaded(result.text, result.lines);
    else
        emit failed();
}
