#include "e2e_support.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

Sandbox::~Sandbox() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void Sandbox::writeFile(const std::string &path, const std::string &bytes) const {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f)
    throw std::runtime_error("cannot write " + path);
}

std::string Sandbox::readFile(const std::string &path) const {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string Sandbox::readText(const std::string &path) const {
  std::string bytes = readFile(path);
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i++)
    if (bytes[i] != '\r' || i + 1 == bytes.size() || bytes[i + 1] != '\n')
      text += bytes[i];
  return text;
}

bool Sandbox::exists(const std::string &path) const {
  return std::filesystem::exists(path);
}

void Sandbox::setScanReport(const std::string &bytes) {
  writeFile(dir_ + "/scan.report", bytes);
}
void Sandbox::setScanStatus(const std::string &status) {
  writeFile(dir_ + "/scan.status", status);
}
void Sandbox::setScanScript(const std::string &shell) {
  writeFile(dir_ + "/scan.script", shell);
}
void Sandbox::setFlashStatus(const std::string &status) {
  writeFile(dir_ + "/flash.status", status);
}
void Sandbox::setFlashScript(const std::string &shell) {
  writeFile(dir_ + "/flash.script", shell);
}

std::vector<std::vector<std::string>> Sandbox::toolCalls() const {
  std::vector<std::vector<std::string>> calls;
  for (int n = 0; exists(dir_ + "/call." + std::to_string(n)); n++) {
    std::string bytes = readFile(dir_ + "/call." + std::to_string(n));
    std::vector<std::string> args;
    std::size_t from = 0;
    for (std::size_t end; (end = bytes.find('\0', from)) != std::string::npos; from = end + 1)
      args.push_back(bytes.substr(from, end - from));
    calls.push_back(args);
  }
  return calls;
}

RunResult Sandbox::run(const std::vector<std::string> &args, const std::string &path) const {
  return finish(start(args, path));
}

RunResult Sandbox::runProgram(const std::string &program,
                              const std::vector<std::string> &args) const {
  return finish(startProgram(program, args));
}

bool Sandbox::waitFor(const std::string &path) const {
  for (int i = 0; i < 1000; i++) {
    if (exists(path))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}
