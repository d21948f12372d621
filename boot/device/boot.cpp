#include "device/boot.h"

#include "net/tftp_server.h"

boot_info g_boot_info;

Boot::Boot() = default;

Boot::~Boot() { tftpd_stop(&tftpd); }

Status Boot::SetSerial(const char* device) {
  serial = CreatePlatformSerial();
  Status opened = serial->Open(device);
  if (!opened.ok()) return opened;
  if (!serial->Config(115200, 8, 1, 'N')) {
    return Status::Error("open serial error.\n", Status::Stream::kStderr);
  }
  return Status::Ok();
}

Status Boot::WriteToBox(const void* bytes, int count) {
  if (count <= 0) return Status::Ok();
  if (serial->Write(bytes, count) == count) return Status::Ok();
  return Status::Error(StringPrintf("write to serial %s failed, please check the connection.\n",
                                    serial->port_name()));
}
