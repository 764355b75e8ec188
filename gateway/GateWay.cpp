#include "gateway/GateWay.h"

TGateWay::TGateWay() = default;
TGateWay::~TGateWay() = default;

void TGateWay::Init(const std::string &name)
{
    Closing.store(false);
    Name = name;
    auto channel = std::make_unique<TSMSChannel>();
    channel->Number = 1;
    channel->Owner = this;
    Channels[1] = std::move(channel);
    Channels[1]->Open();
    CMPPSet = std::make_unique<TCMPPSet>();
    CMPPSet->Owner = this;
    CMPPSet->Init();
}

std::string TGateWay::ServiceCentre() const { return Host ? Host->ServiceCentre() : std::string(); }

void TGateWay::QueuesChanged()
{
    if (Host)
        Host->QueuesChanged();
}

void TGateWay::SendQueued(const std::vector<std::string> &lines)
{
    if (Host)
        Host->SendQueued(lines);
}

bool TGateWay::ReceivedQueued(const std::string &line) { return !Host || Host->ReceivedQueued(line); }

bool TGateWay::ReceivedKept(const std::string &line) const { return !Host || Host->ReceivedKept(line); }
