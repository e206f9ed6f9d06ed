"""A tool root whose tools log their arguments and then run the stand-in, or a script of the test's own."""

import os
import shlex
import shutil
import stat

# A shell wrapper: a Python one costs a second a run on a loaded machine.
# Each run is logged as NUL-terminated fields: the count of arguments, the
# tool, the arguments. The file after "--entitlements" lives in the staging
# folder, which is gone when the build ends; the wrapper keeps a copy for the
# test to read. A fault file names one run, counted from 1 over all tools, that
# fails instead: its first line the run, its second the status, the rest the output.
WRAPPER = """#!/bin/sh
printf '%%s\\0' "$#" %(tool)s "$@" >> %(log)s
run=$(( $(cat %(counter)s 2>/dev/null || echo 0) + 1 ))
echo $run > %(counter)s
if [ -f %(fault)s ] && [ "$(head -n 1 %(fault)s)" = "$run" ]; then
    tail -n +3 %(fault)s | head -c -1
    exit "$(sed -n 2p %(fault)s)"
fi
previous=
for argument in "$@"; do
    [ "$previous" = --entitlements ] && cp "$argument" %(kept)s
    previous=$argument
done
exec %(target)s "$@"
"""


class RecordingRoot:
    """Copies `source` to `folder`; every tool there is replaced by a logging wrapper."""

    def __init__(self, source, folder):
        self.path = folder
        self.log = os.path.join(folder, "calls.log")
        self.kept_entitlements = os.path.join(folder, "kept-entitlements.plist")
        self.counter = os.path.join(folder, "runs")
        self.fault = os.path.join(folder, "fault")
        shutil.copytree(source, folder, symlinks=True)
        for current, _, files in os.walk(folder):
            for name in files:
                tool = os.path.join(current, name)
                if os.access(tool, os.X_OK):
                    self._wrap(tool, os.path.realpath(tool))

    def _wrap(self, tool, real):
        relative = "/" + os.path.relpath(tool, self.path)
        target = tool + ".real"
        if os.path.islink(tool):
            os.remove(tool)
            os.symlink(real, target)
        else:
            os.rename(tool, target)
        with open(tool, "w") as stream:
            stream.write(WRAPPER % {name: shlex.quote(value) for name, value in (
                ("log", self.log), ("tool", relative), ("target", target), ("kept", self.kept_entitlements),
                ("counter", self.counter), ("fault", self.fault))})
        os.chmod(tool, stat.S_IRWXU | stat.S_IRGRP | stat.S_IXGRP)

    def replace(self, tool, script):
        """Makes `tool` (a path such as "/usr/bin/security") run the shell `script` instead, still logged."""
        target = os.path.join(self.path, tool.lstrip("/")) + ".real"
        os.remove(target)
        with open(target, "w") as stream:
            stream.write("#!/bin/sh\n" + script)
        os.chmod(target, stat.S_IRWXU)

    def fail_run(self, run, output, status=1):
        """Makes the `run`-th tool run of the next build (counted from 1) print `output` and exit with `status`."""
        self.forget_calls()
        with open(self.fault, "w") as stream:
            # The wrapper drops the last byte, which lets an output end without a line feed.
            stream.write("%d\n%d\n%s." % (run, status, output))

    def forget_calls(self):
        """Starts the log and the count of runs afresh, with no run made to fail."""
        for path in (self.log, self.counter, self.fault):
            if os.path.exists(path):
                os.remove(path)

    def calls(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, "rb") as stream:
            fields = [field.decode("utf-8", "surrogateescape") for field in stream.read().split(b"\0")[:-1]]
        calls = []
        while fields:
            count = int(fields[0])
            calls.append(fields[1:count + 2])
            fields = fields[count + 2:]
        return calls
