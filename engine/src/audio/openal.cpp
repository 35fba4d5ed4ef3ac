// The OpenAL back ends: "OpenAL Default" and one per output device. The library is opened at run
// time and never linked, so the program runs the same where it is missing.
#include <dlfcn.h>

#include <cmath>

#include "audio/backend.h"
#include "core/core.h"

// The few entry points and constants of the OpenAL 1.1 C interface that the back ends use.
namespace al {
using Device = struct DeviceTag;
using Context = struct ContextTag;
constexpr int None = 0, True = 1;
constexpr int SourceRelative = 0x202, Pitch = 0x1003, Position = 0x1004, Looping = 0x1007, Buffer = 0x1009,
              Gain = 0x100A, SourceState = 0x1010, Initial = 0x1011, Playing = 0x1012, Paused = 0x1013;
constexpr int FormatMono16 = 0x1101, FormatStereo16 = 0x1103;
constexpr int DeviceSpecifier = 0x1005, AllDevicesSpecifier = 0x1013;
}  // namespace al

struct OpenALLibrary {
  void* Handle = nullptr;  // never closed: the library keeps threads of its own until exit
  al::Device* (*alcOpenDevice)(const char*) = nullptr;
  char (*alcCloseDevice)(al::Device*) = nullptr;
  al::Context* (*alcCreateContext)(al::Device*, const int*) = nullptr;
  char (*alcMakeContextCurrent)(al::Context*) = nullptr;
  void (*alcDestroyContext)(al::Context*) = nullptr;
  const char* (*alcGetString)(al::Device*, int) = nullptr;
  char (*alcIsExtensionPresent)(al::Device*, const char*) = nullptr;
  void (*alDistanceModel)(int) = nullptr;
  void (*alGenSources)(int, unsigned*) = nullptr;
  void (*alDeleteSources)(int, const unsigned*) = nullptr;
  void (*alGenBuffers)(int, unsigned*) = nullptr;
  void (*alDeleteBuffers)(int, const unsigned*) = nullptr;
  void (*alBufferData)(unsigned, int, const void*, int, int) = nullptr;
  void (*alSourcei)(unsigned, int, int) = nullptr;
  void (*alSourcef)(unsigned, int, float) = nullptr;
  void (*alSource3f)(unsigned, int, float, float, float) = nullptr;
  void (*alGetSourcei)(unsigned, int, int*) = nullptr;
  void (*alSourcePlay)(unsigned) = nullptr;
  void (*alSourcePause)(unsigned) = nullptr;
  void (*alSourceStop)(unsigned) = nullptr;
  void (*alSourceRewind)(unsigned) = nullptr;
  int (*alGetError)() = nullptr;
};

template <typename F>
static bool Resolve(void* handle, F& entry, const char* name) {
  entry = reinterpret_cast<F>(dlsym(handle, name));
  return entry != nullptr;
}

std::shared_ptr<OpenALLibrary> LoadOpenAL(const std::string& file) {
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return nullptr;
  auto lib = std::make_shared<OpenALLibrary>();
  lib->Handle = handle;
#define VQ_RESOLVE(name) Resolve(handle, lib->name, #name)
  const bool complete =
      VQ_RESOLVE(alcOpenDevice) && VQ_RESOLVE(alcCloseDevice) && VQ_RESOLVE(alcCreateContext) &&
      VQ_RESOLVE(alcMakeContextCurrent) && VQ_RESOLVE(alcDestroyContext) && VQ_RESOLVE(alcGetString) &&
      VQ_RESOLVE(alcIsExtensionPresent) && VQ_RESOLVE(alDistanceModel) && VQ_RESOLVE(alGenSources) &&
      VQ_RESOLVE(alDeleteSources) && VQ_RESOLVE(alGenBuffers) && VQ_RESOLVE(alDeleteBuffers) &&
      VQ_RESOLVE(alBufferData) && VQ_RESOLVE(alSourcei) && VQ_RESOLVE(alSourcef) && VQ_RESOLVE(alSource3f) &&
      VQ_RESOLVE(alGetSourcei) && VQ_RESOLVE(alSourcePlay) && VQ_RESOLVE(alSourcePause) &&
      VQ_RESOLVE(alSourceStop) && VQ_RESOLVE(alSourceRewind) && VQ_RESOLVE(alGetError);
#undef VQ_RESOLVE
  if (!complete) {
    dlclose(handle);
    return nullptr;
  }
  return lib;
}

namespace {

// One running device and its context. Sounds and channels made while it ran keep it; once it is shut
// down they do nothing.
struct OpenALSession {
  std::shared_ptr<OpenALLibrary> Lib;
  al::Device* Device = nullptr;
  al::Context* Context = nullptr;
  bool Alive = false;
};

// A buffer of samples, shared by a sound and the channels it is cued on.
struct OpenALBuffer {
  OpenALBuffer(std::shared_ptr<OpenALSession> session, unsigned id) : Session(std::move(session)), Id(id) {}
  ~OpenALBuffer() {
    if (Session->Alive) Session->Lib->alDeleteBuffers(1, &Id);
  }
  std::shared_ptr<OpenALSession> Session;
  unsigned Id;
};

class OpenALChannel : public TChannel {
 public:
  explicit OpenALChannel(std::shared_ptr<OpenALSession> session) : Session(std::move(session)) {
    if (!Session->Alive) return;
    const OpenALLibrary& al = *Session->Lib;
    al.alGetError();
    al.alGenSources(1, &Source);
    if (al.alGetError() != 0) {
      Source = 0;  // out of sources: a silent voice
      return;
    }
    al.alSourcei(Source, al::SourceRelative, al::True);  // positions relative to the listener: pans
  }
  ~OpenALChannel() override {
    if (!Usable()) return;
    Session->Lib->alSourceStop(Source);
    Session->Lib->alSourcei(Source, al::Buffer, 0);
    Session->Lib->alDeleteSources(1, &Source);
  }

  void Cue(std::shared_ptr<OpenALBuffer> buffer, bool loop) {
    if (!Usable()) return;
    const OpenALLibrary& al = *Session->Lib;
    al.alSourceStop(Source);
    al.alSourcei(Source, al::Buffer, static_cast<int>(buffer->Id));
    al.alSourcei(Source, al::Looping, loop ? al::True : 0);
    // Back to the start: a source that played to its end, or was stopped, stays STOPPED until
    // rewound, and only a rewound (INITIAL) or paused source starts again when resumed.
    al.alSourceRewind(Source);
    Attached = std::move(buffer);
    Cued = true;
  }
  void Stop() override {
    if (!Usable()) return;
    Session->Lib->alSourceStop(Source);
    Session->Lib->alSourcei(Source, al::Buffer, 0);
    Attached.reset();
    Cued = false;
  }
  void SetPaused(bool paused) override {
    if (!Usable() || !Cued) return;
    const int state = State();
    if (paused && state == al::Playing) Session->Lib->alSourcePause(Source);
    if (!paused && (state == al::Initial || state == al::Paused)) Session->Lib->alSourcePlay(Source);
  }
  void SetVolume(float volume) override {
    if (Usable()) Session->Lib->alSourcef(Source, al::Gain, ClampVolume(volume));
  }
  void SetPan(float pan) override {
    // On a unit circle in front of the listener: -1 hard left, 1 hard right.
    pan = ClampPan(pan);
    if (Usable()) Session->Lib->alSource3f(Source, al::Position, pan, 0.0f, -std::sqrt(1.0f - pan * pan));
  }
  void SetDepth(float) override {}
  void SetRate(float rate) override {
    if (Usable()) Session->Lib->alSourcef(Source, al::Pitch, ClampRate(rate));
  }
  bool Playing() override { return Usable() && Cued && State() == al::Playing; }

  std::shared_ptr<OpenALSession> Session;

 private:
  bool Usable() const { return Source != 0 && Session->Alive; }
  int State() const {
    int state = 0;
    Session->Lib->alGetSourcei(Source, al::SourceState, &state);
    return state;
  }

  unsigned Source = 0;
  std::shared_ptr<OpenALBuffer> Attached;
  bool Cued = false;
};

class OpenALSound : public TSound {
 public:
  OpenALSound(std::shared_ptr<OpenALBuffer> buffer, bool loop) : Buffer(std::move(buffer)), Loop(loop) {}
  std::shared_ptr<TChannel> Cue(std::shared_ptr<TChannel> channel) override {
    auto own = std::dynamic_pointer_cast<OpenALChannel>(channel);
    if (!own || own->Session != Buffer->Session) own = std::make_shared<OpenALChannel>(Buffer->Session);
    own->Cue(Buffer, Loop);
    return own;
  }

 private:
  std::shared_ptr<OpenALBuffer> Buffer;
  bool Loop;
};

class OpenALDriver : public TAudioDriver {
 public:
  OpenALDriver(std::shared_ptr<OpenALLibrary> lib, std::string name, std::string device)
      : Lib(std::move(lib)), DriverName(std::move(name)), DeviceName(std::move(device)) {}
  ~OpenALDriver() override { Shutdown(); }
  std::string Name() override { return DriverName; }

  bool Startup() override {
    Shutdown();
    const OpenALLibrary& al = *Lib;
    al::Device* device = al.alcOpenDevice(DeviceName.empty() ? nullptr : DeviceName.c_str());
    if (!device) return false;
    al::Context* context = al.alcCreateContext(device, nullptr);
    if (!context || !al.alcMakeContextCurrent(context)) {
      if (context) al.alcDestroyContext(context);
      al.alcCloseDevice(device);
      return false;
    }
    al.alDistanceModel(al::None);  // panning only: no fall-off with distance
    Session = std::make_shared<OpenALSession>();
    Session->Lib = Lib;
    Session->Device = device;
    Session->Context = context;
    Session->Alive = true;
    return true;
  }

  void Shutdown() override {
    if (!Session) return;
    Session->Alive = false;
    Lib->alcMakeContextCurrent(nullptr);
    Lib->alcDestroyContext(Session->Context);
    Lib->alcCloseDevice(Session->Device);
    Session.reset();
  }

  std::shared_ptr<TSound> CreateSound(std::shared_ptr<const SoundSamples> samples, int flags) override {
    if (!Session || !samples || samples->Frames() == 0 || samples->Channels < 1 || samples->Channels > 2) return nullptr;
    const OpenALLibrary& al = *Lib;
    unsigned id = 0;
    al.alGetError();
    al.alGenBuffers(1, &id);
    if (al.alGetError() != 0) return nullptr;
    auto buffer = std::make_shared<OpenALBuffer>(Session, id);
    al.alBufferData(id, samples->Channels == 1 ? al::FormatMono16 : al::FormatStereo16, samples->Samples.data(),
                    static_cast<int>(samples->Samples.size() * sizeof(int16_t)), samples->Rate);
    if (al.alGetError() != 0) return nullptr;
    return std::make_shared<OpenALSound>(std::move(buffer), (flags & SoundLoop) != 0);
  }
  std::shared_ptr<TChannel> AllocChannel() override {
    return Session ? std::make_shared<OpenALChannel>(Session) : nullptr;
  }
  std::shared_ptr<TSound> LoadSound(const std::string& path, int flags) override {
    return Session ? CreateSound(ReadSoundFile(path), flags) : nullptr;
  }

 private:
  std::shared_ptr<OpenALLibrary> Lib;
  std::string DriverName;
  std::string DeviceName;  // empty: the default device
  std::shared_ptr<OpenALSession> Session;
};

// The names in a list of strings each ended by a zero byte, the list ended by an empty one.
std::vector<std::string> SplitNames(const char* list) {
  std::vector<std::string> names;
  while (list && *list && names.size() < 100) {
    names.emplace_back(list);
    list += names.back().size() + 1;
  }
  return names;
}

}  // namespace

std::vector<std::shared_ptr<TAudioDriver>> MakeOpenALDrivers(const std::shared_ptr<OpenALLibrary>& library) {
  std::vector<std::shared_ptr<TAudioDriver>> drivers;
  if (!library) return drivers;
  drivers.push_back(std::make_shared<OpenALDriver>(library, "OpenAL Default", ""));
  const char* list = nullptr;
  if (library->alcIsExtensionPresent(nullptr, "ALC_ENUMERATE_ALL_EXT"))
    list = library->alcGetString(nullptr, al::AllDevicesSpecifier);
  else if (library->alcIsExtensionPresent(nullptr, "ALC_ENUMERATION_EXT"))
    list = library->alcGetString(nullptr, al::DeviceSpecifier);
  for (const std::string& device : SplitNames(list)) {
    const std::string name = "OpenAL " + Latin1FromUtf8(device);
    bool taken = false;
    for (const auto& d : drivers) taken = taken || Upper(d->Name()) == Upper(name);
    if (!taken) drivers.push_back(std::make_shared<OpenALDriver>(library, name, device));
  }
  return drivers;
}
