#include "Transactions.h"

#include "Names.h"

#include <chrono>
#include <cstdlib>
#include <functional>

namespace sqlsim::model {

namespace {

void changed(Context& ctx, TransactionChange::Kind kind) {
    ctx.response.add(TransactionChange{kind, ctx.session.transactionId});
}

// Waits until free() holds, up to the session's lock_timeout (1222 then).
void waitFor(Context& ctx, const std::function<bool()>& free) {
    int64_t timeout = -1;
    auto it = ctx.session.options.find("lock_timeout");
    if (it != ctx.session.options.end() && !it->second.empty()) {
        timeout = std::strtoll(it->second.c_str(), nullptr, 10);
    }
    std::optional<std::chrono::milliseconds> limit;
    if (timeout >= 0) {
        limit = std::chrono::milliseconds(timeout);
    }
    if (!ctx.response.waitUntil(free, limit)) {
        throw SqlError(1222, 16, "Lock request time out period exceeded.", 51);
    }
}

bool ownedByOther(Instance& instance, int spid) {
    return instance.transactionOwner != 0 && instance.transactionOwner != spid &&
           instance.processes().count(instance.transactionOwner);
}

} // namespace

void Transactions::waitToWrite(Context& ctx) {
    Instance& instance = ctx.instance;
    const int spid = ctx.session.spid;
    if (!ownedByOther(instance, spid)) {
        return;
    }
    waitFor(ctx, [&instance, spid] { return !ownedByOther(instance, spid); });
}

bool Transactions::waitToRead(Context& ctx) {
    Instance& instance = ctx.instance;
    const int spid = ctx.session.spid;
    auto free = [&instance, spid] { return !instance.transactionWrote || !ownedByOther(instance, spid); };
    if (free()) {
        return false;
    }
    waitFor(ctx, free);
    return true;
}

void Transactions::writing(Context& ctx) {
    if (ctx.session.tranCount > 0 && ctx.instance.transactionOwner == ctx.session.spid) {
        ctx.instance.transactionWrote = true;
    }
}

void Transactions::begin(Context& ctx, const std::string& name) {
    Session& s = ctx.session;
    if (s.tranCount == 0) {
        waitToWrite(ctx);
        ctx.instance.transactions[s.spid] = ctx.instance.snapshot();
        ctx.instance.transactionOwner = s.spid;
        ctx.instance.transactionWrote = false;
        s.tranName = name;
        ++s.transactionId;
        s.tranCount = 1;
        s.inTransaction = true;
        changed(ctx, TransactionChange::Kind::Begin);
        return;
    }
    ++s.tranCount;
}

void Transactions::commit(Context& ctx) {
    Session& s = ctx.session;
    if (s.tranCount == 0) {
        throw SqlError(3902, 16, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
    }
    if (--s.tranCount > 0) {
        return;
    }
    ctx.instance.transactions.erase(s.spid);
    if (ctx.instance.transactionOwner == s.spid) {
        ctx.instance.transactionOwner = 0;
        ctx.instance.transactionWrote = false;
    }
    s.inTransaction = false;
    changed(ctx, TransactionChange::Kind::Commit);
}

void Transactions::rollback(Context& ctx, const std::string& name) {
    Session& s = ctx.session;
    if (s.tranCount == 0) {
        throw SqlError(3903, 16, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
    }
    if (!name.empty() && !sameName(name, s.tranName)) {
        throw SqlError(6401, 16,
                       "Cannot roll back " + name + ". No transaction or savepoint of that name was found.");
    }
    rollbackAll(ctx.instance, s, &ctx.response);
}

void Transactions::rollbackAll(Instance& instance, Session& s, Response* response) {
    auto it = instance.transactions.find(s.spid);
    if (it != instance.transactions.end()) {
        instance.restore(std::move(*it->second));
        instance.transactions.erase(it);
    }
    if (instance.transactionOwner == s.spid) {
        instance.transactionOwner = 0;
        instance.transactionWrote = false;
    }
    bool wasOpen = s.tranCount > 0;
    s.tranCount = 0;
    s.inTransaction = false;
    s.tranName.clear();
    if (wasOpen && response) {
        response->add(TransactionChange{TransactionChange::Kind::Rollback, s.transactionId});
    }
}

void Transactions::request(Context& ctx, int kind, bool beginNew) {
    if (kind == 5) {
        begin(ctx, {});
        return;
    }
    if (kind == 7 || kind == 8) {
        if (ctx.session.tranCount > 0) {
            if (kind == 7) {
                ctx.session.tranCount = 1; // the driver's commit ends the whole transaction
                commit(ctx);
            } else {
                rollbackAll(ctx.instance, ctx.session, &ctx.response);
            }
        }
        if (beginNew) {
            begin(ctx, {});
        }
    }
}

} // namespace sqlsim::model
