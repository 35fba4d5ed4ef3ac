// "Setup.ini": the player's settings between runs.
#include "audio/audio.h"
#include "core/core.h"
#include "input/input.h"
#include "shell/shell.h"

// The runtime's integer reading, then the absolute value: a width written as -1024 gives 1024.
static int SetupInt(std::string_view text) { return AbsInt(TextToInt(text)); }

void ReadSetup(const std::string& path) {
  std::vector<std::string> lines;
  if (!ReadTextLines(path, lines)) return;
  auto& values = Core.SetupValues;
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    std::string key, value;
    if (eq == std::string::npos) {
      key = Upper(Trim(line));
      value = MissingField;
    } else {
      key = Upper(Trim(std::string_view(line).substr(0, eq)));
      const size_t eq2 = line.find('=', eq + 1);
      value = Trim(std::string_view(line).substr(eq + 1, eq2 == std::string::npos ? std::string::npos : eq2 - eq - 1));
    }

    if (key == "AUDIODRIVER") {
      Shell.AudioDriverGiven = true;
      for (size_t i = 0; i < Audio.DriverList.size(); ++i) {
        if (Audio.DriverList[i] == value) {  // exact, case-sensitive
          values[SetupAudioDriver] = static_cast<int>(i);
          break;
        }
      }
    } else if (key == "FULLSCREEN") {
      const std::string v = Upper(value);
      if (v == "TRUE" || v == "ON") {
        values[SetupFullscreen] = 1;
        DebugLine("\tSetting to Fullscreen");
      }
    } else if (key == "GFX ENGINE" || key == "GFXENGINE") {
      const std::string v = Upper(value);
      if (v == "DX9") {
        values[SetupEngine] = 1;
        DebugLine("\tDirectX 9 Mode");
      } else if (v == "DX7") {
        values[SetupEngine] = 2;
        DebugLine("\tDirectX 7 Mode");
      }
    } else if (key == "WIDTH") {
      values[SetupWidth] = SetupInt(value);
    } else if (key == "HEIGHT") {
      values[SetupHeight] = SetupInt(value);
    } else if (key == "ESS") {
      values[SetupESS] = 1;  // only the key counts: ESS=0 switches it on too
      DebugLine("\tAssuming Emergency Slow System values.");
    } else if (key == "KEY") {
      const int slot = SetupInt(Field(value, ",", 1));
      const int code = SetupInt(Field(value, ",", 2));
      if (slot >= 0 && slot <= 99) Input.ControlTable[slot] = code;
    } else if (key == "MASTER") {
      values[SetupMaster] = SetupInt(value);
    } else if (key == "SOUND") {
      values[SetupSound] = SetupInt(value);
    } else if (key == "MUSIC") {
      values[SetupMusic] = SetupInt(value);
    }
  }
}

std::vector<std::string> SetupFileLines() {
  const auto& values = Core.SetupValues;
  std::vector<std::string> out;
  out.push_back("[Graphics]");
  out.push_back(values[SetupFullscreen] == 1 ? "Fullscreen = True" : "Fullscreen = False");
  const int engine = values[SetupEngine];
  out.push_back(engine == 1 ? "GFX Engine = DX9" : engine == 2 ? "GFX Engine = DX7" : "GFX Engine = OpenGL");
  out.push_back("Width=" + std::to_string(values[SetupWidth]));
  out.push_back("Height=" + std::to_string(values[SetupHeight]));
  if (values[SetupESS] == 1)
    out.push_back("ESS=1 ; This is a slow system, and things must run a wee bit slower for it.  Awww..");
  out.push_back("");
  out.push_back("[Audio]");
  out.push_back("Master = " + std::to_string(values[SetupMaster]));
  out.push_back("Sound = " + std::to_string(values[SetupSound]));
  out.push_back("Music = " + std::to_string(values[SetupMusic]));
  const int driver = values[SetupAudioDriver];
  const bool known = driver >= 0 && driver < static_cast<int>(Audio.DriverList.size());
  out.push_back("AudioDriver = " + (known ? Audio.DriverList[driver] : std::string()));
  for (const std::string& name : Audio.DriverList) out.push_back("; AudioDriver = " + name);
  out.push_back("");
  out.push_back("[Controls]");
  for (int slot = 0; slot <= 99; ++slot) {
    const int code = Input.ControlTable[slot];
    if (code > 0) out.push_back("Key=" + std::to_string(slot) + "," + std::to_string(code));
  }
  return out;
}

void WriteSetup() {
  const std::string folder = Core.PlayerDir.empty() ? Shell.FilesDir : Core.PlayerDir;
  if (folder.empty()) return;
  // Written whole to a temporary file and renamed, so a crash never leaves half a file; a folder
  // that cannot be written leaves the old file and the game goes on.
  WriteTextFileAtomic(folder + "/Setup.ini", SetupFileLines());
}
