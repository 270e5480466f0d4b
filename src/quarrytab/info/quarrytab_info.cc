// quarrytab-info: prints every fact the System object reports on this machine.

#include <cmath>
#include <cstdio>
#include <string>

#include "quarrytab/system.h"
#include "support/error.h"
#include "support/text.h"

namespace {

using quarrytab::System;

std::string DateText(quarrytab::Date date) {
  return date == 0 ? std::string("(unknown)") : quarrytab::FormatDate(date);
}

void Line(const char* name, const std::string& value) {
  std::printf("%-32s %s\n", name, value.c_str());
}
void Line(const char* name, long long value) { Line(name, std::to_string(value)); }
void Line(const char* name, bool value) { Line(name, std::string(value ? "true" : "false")); }

std::string Mebibytes(std::int64_t bytes) {
  if (bytes < 0) return std::to_string(bytes);
  const double mib = support::RoundHalfEven(static_cast<double>(bytes) / (1024.0 * 1024.0));
  return std::to_string(bytes) + " bytes (" + std::to_string(static_cast<long long>(mib)) + " MiB)";
}

std::string FontText(const quarrytab::LogicalFont& f) {
  return f.face_name + ", height " + std::to_string(f.height) + ", weight " +
         std::to_string(f.weight);
}

std::string RectText(const quarrytab::Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " - " + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

}  // namespace

int main() {
  try {
    System sys;
    std::printf("[System]\n");
    Line("LastShutdown", DateText(sys.LastShutdown()));
    char uptime[32];
    std::snprintf(uptime, sizeof uptime, "%.4f s", sys.UpTime());
    Line("UpTime", std::string(uptime));
    Line("StartTime", quarrytab::FormatDate(sys.StartTime()));
    Line("ComputerName", sys.ComputerName());
    Line("UserName", sys.UserName());
    Line("IsTablet", sys.IsTablet());

    quarrytab::OSInfo& os = sys.OS();
    std::printf("[OS]\n");
    Line("InstallDate", DateText(os.InstallDate()));
    Line("RegisteredOrganization", os.RegisteredOrganization());
    Line("RegisteredOwner", os.RegisteredOwner());
    Line("TempFolder", os.TempFolder());
    Line("Version", static_cast<long long>(os.Version()));
    Line("Build", static_cast<long long>(os.Build()));
    Line("GetFullVersionString(false)", os.GetFullVersionString(false));
    Line("GetFullVersionString(true)", os.GetFullVersionString(true));
    Line("VerMajor", static_cast<long long>(os.VerMajor()));
    Line("VerMinor", static_cast<long long>(os.VerMinor()));
    Line("ProductType", static_cast<long long>(os.ProductType()));
    Line("ServicePack", static_cast<long long>(os.ServicePack()));
    Line("ServicePackName", os.ServicePackName());
    Line("x64", os.x64());
    Line("MonitorsCount", static_cast<long long>(os.MonitorsCount()));
    const std::pair<const char*, int> folders[] = {
        {"UserDesktop", quarrytab::UserDesktop},
        {"UserDocuments", quarrytab::UserDocuments},
        {"UserAppData", quarrytab::UserAppData},
        {"UserLocalAppData", quarrytab::UserLocalAppData},
        {"UserProfileRoot", quarrytab::UserProfileRoot},
        {"UserStartup", quarrytab::UserStartup},
        {"CommonAppData", quarrytab::CommonAppData},
        {"Fonts", quarrytab::Fonts},
        {"Windows", quarrytab::Windows},
        {"System32", quarrytab::System32},
        {"ProgramFiles", quarrytab::ProgramFiles},
        {"UserCookies", quarrytab::UserCookies},
    };
    for (const auto& [name, id] : folders) {
      Line((std::string("GetFolderPath(") + name + ")").c_str(), os.GetFolderPath(id));
    }

    std::printf("[CPU]\n");
    Line("Name", sys.CPU().Name());
    Line("Frequency", static_cast<long long>(sys.CPU().Frequency()));

    std::printf("[RAM]\n");
    Line("Total", Mebibytes(sys.RAM().Total()));
    Line("Available", Mebibytes(sys.RAM().Available()));

    quarrytab::DiskInfo& disk = sys.Disk();
    const std::string windows_drive =
        quarrytab::DriveLetterOfPath(os.GetFolderPath(quarrytab::Windows));
    disk.SetDriveLetter(windows_drive);
    std::printf("[Disk] (the Windows-folder drive)\n");
    Line("DriveLetter", disk.DriveLetter());
    Line("MountPath", disk.MountPath());
    Line("FileSystem", disk.FileSystem());
    Line("Free", Mebibytes(disk.Free()));
    Line("Size", Mebibytes(disk.Size()));
    Line("VolumeLabel", disk.VolumeLabel());
    Line("VolumeSerialNumber", disk.VolumeSerialNumber());

    quarrytab::MetricsInfo& m = sys.Metrics();
    std::printf("[Metrics]\n");
    Line("CaptionHeight", static_cast<long long>(m.CaptionHeight()));
    Line("CaptionWidth", static_cast<long long>(m.CaptionWidth()));
    Line("MenuHeight", static_cast<long long>(m.MenuHeight()));
    Line("MenuWidth", static_cast<long long>(m.MenuWidth()));
    Line("ScrollHeight", static_cast<long long>(m.ScrollHeight()));
    Line("ScrollWidth", static_cast<long long>(m.ScrollWidth()));
    Line("SmallCaptionHeight", static_cast<long long>(m.SmallCaptionHeight()));
    Line("SmallCaptionWidth", static_cast<long long>(m.SmallCaptionWidth()));
    Line("BorderWidth", static_cast<long long>(m.BorderWidth()));
    Line("DPI", static_cast<long long>(m.DPI()));
    Line("Font(ncIconFont)", FontText(m.Font(quarrytab::ncIconFont)));
    Line("Font(ncMessageFont)", FontText(m.Font(quarrytab::ncMessageFont)));

    quarrytab::TaskbarInfo& t = sys.Taskbar();
    std::printf("[Taskbar]\n");
    Line("AlwaysOnTop", t.AlwaysOnTop());
    Line("AutoHide", t.AutoHide());
    quarrytab::Rect r;
    t.GetScreenRect(r);
    Line("GetScreenRect (twips)", RectText(r));
    t.GetTaskbarRect(r);
    Line("GetTaskbarRect", RectText(r));

    std::printf("[PCINFO]\n");
    Line("operating system", os.GetFullVersionString(true));
    Line("processor", sys.CPU().Name());
    Line("memory (MiB)", Mebibytes(sys.RAM().Total()));
    Line("free disk space (MiB)", Mebibytes(disk.Free()));
    return 0;
  } catch (const support::Error& e) {
    std::fprintf(stderr, "[%s] %d: %s\n", e.Source().c_str(), e.Number(), e.Description().c_str());
    return 1;
  }
}
