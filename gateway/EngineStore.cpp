#include "gateway/EngineStore.h"

#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace {

constexpr int kRetryMs = 1000; // between rounds of the pending writes

} // namespace

namespace enginestore {

std::string digestOf(std::string_view pduHex)
{
    const QByteArray text = QByteArray(pduHex.data(), static_cast<qsizetype>(pduHex.size())).toUpper();
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().toStdString();
}

TOutcome storeReceived(std::string_view pduHex, const std::string &phone, const std::string &text)
{
    const std::string digest = digestOf(pduHex);
    return records::writeGuarded([&](TAdoQuery &q) { return records::appendReceived(q, digest, phone, text); });
}

TOutcome markQueued(std::string_view pduHex)
{
    const std::string digest = digestOf(pduHex);
    return records::writeGuarded([&](TAdoQuery &q) {
        records::markQueued(q, digest);
        return TResult::Stored;
    });
}

TOutcome storeContact(const std::string &key, const std::string &number)
{
    return records::writeGuarded([&](TAdoQuery &q) {
        records::storeContact(q, key, number);
        return TResult::Stored;
    });
}

} // namespace enginestore

TPendingWrites::TPendingWrites() = default;
TPendingWrites::~TPendingWrites() = default;

bool TPendingWrites::Add(const std::string &key, Write write)
{
    if (std::any_of(writes_.begin(), writes_.end(), [&](const auto &w) { return w.first == key; }))
        return false;
    writes_.emplace_back(key, std::move(write));
    if (!timer_) {
        timer_ = std::make_unique<QTimer>();
        timer_->setSingleShot(true);
        QObject::connect(timer_.get(), &QTimer::timeout, [this] {
            EngineLock lock;
            Retry();
        });
    }
    if (!timer_->isActive()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(engineclock::scaled(kRetryMs));
        timer_->start(std::max<int>(1, static_cast<int>(wait.count())));
    }
    return true;
}

void TPendingWrites::Drop(const std::string &key)
{
    writes_.erase(std::remove_if(writes_.begin(), writes_.end(), [&](const auto &w) { return w.first == key; }),
                  writes_.end());
}

void TPendingWrites::Retry()
{
    while (!writes_.empty()) {
        auto write = std::move(writes_.front());
        writes_.pop_front();
        if (write.second() == enginestore::TResult::Busy) {
            writes_.push_front(std::move(write));
            break;
        }
    }
    if (!writes_.empty() && timer_ && !timer_->isActive())
        timer_->start();
}
