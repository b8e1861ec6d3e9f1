#include "ProcessStart.h"

#include "LocalText.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Platform {

namespace {

ProcessStartHook& hook()
{
    static ProcessStartHook instance;
    return instance;
}

} // namespace

StartResult startDetached(const ProcessRequest& request)
{
    if (hook())
        return hook()(request);

    // Every string is made before the fork: the child only calls what is safe there.
    const QByteArray program = encodeLocal(request.program);
    const QByteArray folder = encodeLocal(request.workingFolder);
    std::vector<QByteArray> arguments{program};
    for (const QString& argument : request.arguments)
        arguments.push_back(encodeLocal(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
    // Descriptors of this program stay with it, even one opened without close-on-exec.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    // A go-between starts the program and ends at once, so the program belongs to no one here and
    // leaves no zombie behind; the go-between's status carries the error of the start, if any.
    int error = 0;
    const pid_t between = ::fork();
    if (between == 0) {
        pid_t started = 0;
        const int spawned = ::posix_spawn(&started, program.constData(), &actions, &attributes, argv.data(), environ);
        ::_exit(spawned);
    }
    if (between < 0) {
        error = errno;
    } else {
        int status = 0;
        while (::waitpid(between, &status, 0) < 0 && errno == EINTR) {
        }
        error = WIFEXITED(status) ? WEXITSTATUS(status) : ECHILD;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);

    StartResult result;
    result.ok = error == 0;
    if (!result.ok)
        result.error = errorText(error);
    return result;
}

void setProcessStartHook(ProcessStartHook newHook)
{
    hook() = std::move(newHook);
}

} // namespace Platform
