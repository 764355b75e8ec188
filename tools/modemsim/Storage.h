#pragma once

#include <map>
#include <string>

// One short-message storage ("SM" on the SIM, "ME" in the module), indexed
// from 1 to its capacity.
struct StoredSms {
    int stat = 0;    // 0 received unread, 1 received read, 2 stored unsent, 3 stored sent
    std::string pdu; // upper-case hex, service-centre part included
};

class MessageStore {
public:
    MessageStore(std::string name, int capacity) : name_(std::move(name)), capacity_(capacity) {}

    const std::string &name() const { return name_; }
    int capacity() const { return capacity_; }
    void setCapacity(int capacity) { capacity_ = capacity; }
    int used() const { return static_cast<int>(slots_.size()); }
    bool validIndex(int index) const { return index >= 1 && index <= capacity_; }

    // The message at index, or null when the index is empty or out of range.
    StoredSms *at(int index);
    // Stores at a valid index, replacing what was there.
    void put(int index, StoredSms sms) { slots_[index] = std::move(sms); }
    void erase(int index) { slots_.erase(index); }
    // Lowest empty index, or 0 when the storage is full.
    int firstFree() const;
    const std::map<int, StoredSms> &slots() const { return slots_; }
    std::map<int, StoredSms> &slots() { return slots_; }

private:
    std::string name_;
    int capacity_;
    std::map<int, StoredSms> slots_;
};

// A SIM phone-book entry as AT+CPBR shows it.
struct PhoneEntry {
    std::string number;
    int type = 129;        // 145 when the number starts with "+"
    std::string nameField; // written between the quotes as is (normally hex UCS-2)
};

// Everything the simulator starts from: identity, storages, phone book.
struct Scenario {
    std::string imei = "490154203237518";
    MessageStore sm{"SM", 30};
    MessageStore me{"ME", 100};
    int phoneBookCapacity = 250;
    std::map<int, PhoneEntry> phoneBook;
    int firstReference = 1; // message reference of the first submission

    // The storage of that name ("SM" or "ME", any case), or null.
    MessageStore *storage(const std::string &name);
    const MessageStore *storage(const std::string &name) const { return const_cast<Scenario *>(this)->storage(name); }
};

// Reads a scenario file (format in README.md) into scenario. False with a
// message naming the line on the first error.
bool loadScenario(const std::string &path, Scenario &scenario, std::string &error);
