#pragma once

#include <QByteArray>
#include <map>
#include <optional>

namespace plovex::testing {

// Sets or clears environment variables for one test and puts the former
// values back at the end.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                qputenv(name.constData(), *value);
            else
                qunsetenv(name.constData());
        }
    }

    void set(const char* name, const QByteArray& value)
    {
        remember(name);
        qputenv(name, value);
    }
    void unset(const char* name)
    {
        remember(name);
        qunsetenv(name);
    }

private:
    void remember(const char* name)
    {
        if (saved_.count(name))
            return;
        saved_[name] = qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt;
    }
    std::map<QByteArray, std::optional<QByteArray>> saved_;
};

} // namespace plovex::testing
