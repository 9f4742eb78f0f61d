// A MODBUS TCP server that is not ours: libmodbus serving the holding
// registers given as arguments (the sensor's block from register 0) to any
// unit id, one connection at a time, until SIGTERM. It listens on a port the
// kernel chooses and prints "READY <port>" once it accepts connections.
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);
  modbus_mapping_t* map = modbus_mapping_new(0, 0, argc - 1, 0);
  for (int i = 1; i < argc; ++i) map->tab_registers[i - 1] = static_cast<std::uint16_t>(std::strtoul(argv[i], nullptr, 0));
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
  int server = ctx ? modbus_tcp_listen(ctx, 1) : -1;
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  if (server < 0 || ::getsockname(server, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
    std::fprintf(stderr, "libmodbus_tcp_gateway: cannot listen: %s\n", modbus_strerror(errno));
    return 1;
  }
  std::printf("READY %u\n", static_cast<unsigned>(ntohs(bound.sin_port)));
  std::fflush(stdout);
  for (;;) {
    if (modbus_tcp_accept(ctx, &server) < 0) continue;
    std::uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    for (;;) {
      const int rc = modbus_receive(ctx, request);
      if (rc > 0) modbus_reply(ctx, request, rc, map);
      else if (rc < 0) break;  // the client went away: wait for the next one
    }
    modbus_close(ctx);
  }
}
