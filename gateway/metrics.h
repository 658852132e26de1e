#pragma once

#include <QByteArray>

#include "gateway/gateway_record.h"

// The snapshot in the Prometheus text exposition format (version 0.0.4): gauges of
// every controller's live values and link, counters of its line and of the gateway's
// polls, each labelled with the controller's address.
QByteArray prometheus_metrics(const GatewaySnapshot& s);

// The content type that goes with it.
inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";
