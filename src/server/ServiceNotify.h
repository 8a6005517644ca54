// Tells the service manager how zebd is doing (Type=notify units): ready once it listens,
// reloading while it reads its certificate and auth file again, stopping when it shuts down.
// Without a service manager (no NOTIFY_SOCKET) every call does nothing.
#pragma once

namespace zeb::server {

void NotifyReady();
void NotifyReloading();
void NotifyStopping();

}  // namespace zeb::server
