// Runs the built program as a child process with given arguments and standard input.
#include "support/run_program.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

RUN_RESULT run_velkor(const std::vector<std::string>& args, const std::string& stdin_text) {
    return run_binary(VELKOR_BINARY, args, stdin_text);
}

RUN_RESULT run_binary(const char* path, const std::vector<std::string>& args, const std::string& stdin_text) {
    char dir[] = "/tmp/velkor-run-XXXXXX";
    RUN_RESULT r{"", "", -1, 0};
    if (!mkdtemp(dir)) return r;
    std::string d(dir);
    {
        std::ofstream in(d + "/stdin", std::ios::binary);
        in << stdin_text;
    }
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir) != 0) _exit(127);
        freopen("stdin", "r", stdin);
        freopen("stdout", "w", stdout);
        freopen("stderr", "w", stderr);
        std::vector<char*> argv;
        argv.push_back((char*)path);
        for (const std::string& a : args) argv.push_back((char*)a.c_str());
        argv.push_back(nullptr);
        execv(path, argv.data());
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.signal = WIFSIGNALED(st) ? WTERMSIG(st) : 0;
    r.out = slurp(d + "/stdout");
    r.err = slurp(d + "/stderr");
    std::string cmd = "rm -rf '" + d + "'";
    if (system(cmd.c_str()) != 0) {}
    return r;
}

RUN_RESULT run_trapped(const std::vector<std::string>& trap_args, const std::vector<std::string>& args,
                       const std::string& stdin_text) {
    const char* old = getenv("ASAN_OPTIONS");
    std::string saved = old ? old : "";
    std::string opts = old && *old ? saved + ":detect_leaks=0" : "detect_leaks=0";
    setenv("ASAN_OPTIONS", opts.c_str(), 1);
    std::vector<std::string> all = trap_args;
    all.insert(all.end(), {"--", VELKOR_BINARY});
    all.insert(all.end(), args.begin(), args.end());
    RUN_RESULT r = run_binary(VELKOR_TRAP, all, stdin_text);
    if (old) {
        setenv("ASAN_OPTIONS", saved.c_str(), 1);
    } else {
        unsetenv("ASAN_OPTIONS");
    }
    return r;
}

std::string banner() {
    return "\n" + std::string(14, ' ') + "VELKOR V2.10\n" + std::string(14, ' ') + std::string(52, '-') +
           "\n\n";
}
