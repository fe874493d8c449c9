// The contract cases against the simulated machine.
#include "contract.h"
#include "sim/sim_machine.h"

int main() {
    sim::SimMachine machine;
    // The machine Wine stands for here: 64-bit Windows, so the spooler's own
    // environment is "Windows x64".
    machine.system.wow64 = true;
    // Strict as Windows, where the spooler calls need the running service
    // (Wine's do not): the cases must start it themselves.
    machine.RequireRunningSpooler();
    contract::ContractTarget target{machine.spooler, machine.registry, machine.services,
                                    machine.files,   machine.profile,  machine.system,
                                    machine.threads,
                                    true,
                                    "Windows x64",
                                    [&machine](const std::string& path, const std::string& bytes) {
                                        return machine.files.WriteFile(path, bytes);
                                    },
                                    [](std::uint32_t) {}};
    return contract::RunAll(target);
}
