#include "platform/lan/NetMessage.h"

#include <QProcess>
#include <QTimer>
#include <memory>

namespace lan {

bool validRecipient(const QString &name)
{
    if (name.isEmpty() || name.size() > 255 || name.front() == u'-')
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-' ||
                        u == u'.' || u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

QString cutText(const QString &text)
{
    if (text.size() <= MaxMessageUnits)
        return text;
    const bool splitsPair = text.at(MaxMessageUnits - 1).isHighSurrogate();
    return text.left(MaxMessageUnits - (splitsPair ? 1 : 0));
}

void sendMessage(QObject *context, const QString &recipient, const QString &sender, const QString &text,
                 std::function<void(bool sent)> done, int timeoutMs)
{
    if (!validRecipient(recipient)) {
        QTimer::singleShot(0, context, [done = std::move(done)] { done(false); });
        return;
    }
    // Owned by context, so that it is killed when context goes first.
    auto *process = new QProcess(context);
    QObject::connect(context, &QObject::destroyed, process, [process] {
        process->kill();
        process->waitForFinished(1000);
    });
    auto over = std::make_shared<bool>(false);
    // The first of finished, failed start and the time limit decides; the
    // report is queued so that it never comes from inside this call.
    auto finish = [context, process, over, done = std::move(done)](bool sent) {
        if (*over)
            return;
        *over = true;
        if (process->state() != QProcess::NotRunning)
            process->kill(); // its end deletes it
        else
            process->deleteLater();
        QTimer::singleShot(0, context, [done, sent] { done(sent); });
    };
    QObject::connect(process, &QProcess::finished, process, [process, finish](int code, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit && code == 0);
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(false);
    });
    QTimer::singleShot(timeoutMs, process, [finish] { finish(false); });

    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(QStringLiteral("smbclient"),
                   {QStringLiteral("-M"), recipient, QStringLiteral("-U"), sender, QStringLiteral("-N")});
    if (*over)
        return; // the start has already failed
    process->write(cutText(text).toUtf8());
    process->closeWriteChannel();
}

} // namespace lan
