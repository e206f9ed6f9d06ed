"""A tool root whose tools log their arguments and then run the stand-in, or a script of the test's own."""

import json
import os
import shutil
import stat

# The file after "--entitlements" lives in the staging folder, which is gone
# when the build ends; the wrapper keeps a copy for the test to read.
WRAPPER = """#!/usr/bin/env python3
import json, os, shutil, sys
arguments = sys.argv[1:]
with open(%(log)r, "a") as log:
    log.write(json.dumps([%(tool)r, *arguments]) + "\\n")
if "--entitlements" in arguments:
    shutil.copy(arguments[arguments.index("--entitlements") + 1], %(kept)r)
os.execv(%(target)r, [%(target)r, *arguments])
"""


class RecordingRoot:
    """Copies `source` to `folder`; every tool there is replaced by a logging wrapper."""

    def __init__(self, source, folder):
        self.path = folder
        self.log = os.path.join(folder, "calls.jsonl")
        self.kept_entitlements = os.path.join(folder, "kept-entitlements.plist")
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
        elif os.path.lexists(tool):
            os.rename(tool, target)
        with open(tool, "w") as stream:
            stream.write(WRAPPER % {"log": self.log, "tool": relative, "target": target,
                                   "kept": self.kept_entitlements})
        os.chmod(tool, stat.S_IRWXU | stat.S_IRGRP | stat.S_IXGRP)

    def replace(self, tool, script):
        """Makes `tool` (a path such as "/usr/bin/security") run the shell `script` instead, still logged."""
        path = os.path.join(self.path, tool.lstrip("/"))
        target = path + ".real"
        if os.path.lexists(target):
            os.remove(target)
        if not os.path.lexists(path):
            os.makedirs(os.path.dirname(path), exist_ok=True)
            self._wrap(path, None)
        with open(target, "w") as stream:
            stream.write("#!/bin/sh\n" + script)
        os.chmod(target, stat.S_IRWXU)

    def calls(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as stream:
            return [json.loads(line) for line in stream]
