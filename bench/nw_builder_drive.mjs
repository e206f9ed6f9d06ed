// Drives the peer, nw-builder, for one macOS build; copied beside its
// node_modules by peer.py. Arguments: project, output, cache, runtime
// address, manifest address, icon, "zip" or "plain". Prints the seconds since
// the process started and its peak resident memory in KiB.
import nwbuild from "nw-builder";

const [srcDir, outDir, cacheDir, downloadUrl, manifestUrl, icon, packaging] = process.argv.slice(2);
await nwbuild({
  mode: "build", version: "0.115.0", flavor: "normal", platform: "osx", arch: "arm64",
  srcDir, outDir, cacheDir, downloadUrl, manifestUrl, glob: false, logLevel: "error",
  zip: packaging === "zip" ? "zip" : false,
  app: { name: "Demo", icon, LSApplicationCategoryType: "public.app-category.utilities",
         NSHumanReadableCopyright: "Bench" },
});
console.log(process.uptime(), process.resourceUsage().maxRSS);
