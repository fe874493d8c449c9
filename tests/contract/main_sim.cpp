// The contract cases against the simulated machine.
#include "contract.h"
#include "sim/sim_machine.h"

int main() {
    sim::SimMachine machine;
    // The machine Wine stands for here: 64-bit Windows under the 32-bit
    // program, so the spooler's own environment is "Windows x64".
    machine.system.wow64 = true;
    // Strict as Windows, where the spooler calls need the running service
    // (Wine's do not): the cases must start it themselves.
    machine.RequireRunningSpooler();
    contract::ContractTarget target{machine.spooler, machine.registry, machine.services,
                                    machine.files,   machine.profile,  machine.system,
                                    machine.threads};
    target.isSimulator = true;
    target.nativeEnvironment = "Windows x64";
    target.windowsBits = machine.system.wow64 ? 64 : 32;
    target.processBits = 32;
    // Written by the program, so redirected as its file calls are.
    target.writeFile = [&machine](const std::string& path, const std::string& bytes) {
        return machine.files.WriteFile(machine.files.ProcessPath(path), bytes);
    };
    target.setLastError = [](std::uint32_t) {};
    target.lastError = [&machine] { return machine.files.lastError; };
    target.readAccess = [&machine](const std::string& path) {
        return machine.files.AccessOf(path);
    };
    // As the Wine runner plants them, outside the cases' own folders.
    machine.files.WriteFile("C:\\Outside\\folder\\keep.txt", "keep");
    machine.files.WriteFile("C:\\Outside\\file.txt", "outside");
    machine.files.MakeLink(contract::kLinkedFolder, "C:\\Outside\\folder");
    machine.files.MakeLink(contract::kLinkedFile, "C:\\Outside\\file.txt");
    machine.files.WriteFile(contract::kSecondName, "two names");
    machine.files.SetLinkCount(contract::kSecondName, 2);
    return contract::RunAll(target);
}
