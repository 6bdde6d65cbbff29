#include "platform/failure.h"

QString failureMessage(const std::exception& e) {
    if (const auto* failure = dynamic_cast<const Failure*>(&e)) return failure->message();
    return QString::fromLocal8Bit(e.what());
}
