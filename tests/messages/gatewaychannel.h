#pragma once
// alice (the window) and bob (a raw socket) in the channel of a local
// gateway started for the test.
#include "messagesfixture.h"
#include "rawclient.h"
#include "support/connectedwindow.h"
#include "support/gatewayprocess.h"

#include <functional>

struct GatewayChannel {
    explicit GatewayChannel(const QStringList &gatewayArgs = {QStringLiteral("--no-flood-quota")},
                            const QStringList &conf = {QStringLiteral("password=pw")})
        : gateway(gatewayArgs), f(conf), m(*f.main)
    {
    }
    // Logs alice in (beforeConnect runs first) and then bob.
    bool open(const std::function<void()> &beforeConnect = {})
    {
        if (gateway.port() == 0)
            return false;
        if (beforeConnect)
            beforeConnect();
        if (!connectToGateway(m, gateway.port()))
            return false;
        return bob.login(gateway.port(), "bob");
    }
    GatewayProcess gateway;
    MessagesFixture f;
    Tmain &m;
    RawClient bob;
};
