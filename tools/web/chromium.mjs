// Debian's Chromium opened the way the browser tests and the benchmark need it, and the
// WebGL renderer its pages draw with.

// Headless, and none of the background connections this machine's closed network would
// refuse. WebGL 2 comes from `renderer`: 'native' draws through ANGLE's GL back end on the
// X server in DISPLAY, the same Mesa renderer the native program uses (llvmpipe without a
// GPU, which Chromium blocklists unless told otherwise); 'software' is Chromium's own
// SwiftShader, what a browser without a usable GPU falls back to when software WebGL is
// allowed. `chromium` is playwright-core's.
export function chromiumArgs(renderer = 'native') {
  const webgl = renderer === 'software'
    ? ['--disable-gpu', '--enable-unsafe-swiftshader', '--use-angle=swiftshader']
    : ['--use-gl=angle', '--use-angle=gl', '--ignore-gpu-blocklist'];
  return ['--no-sandbox', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', ...webgl];
}
export const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

export function launchChromium(chromium, renderer = 'native') {
  return chromium.launch({ executablePath: CHROMIUM, headless: true, args: chromiumArgs(renderer) });
}

// The same with a profile kept in `dir`, as a visitor's is: Chromium tells whether a site
// can be installed only there.
export function launchChromiumProfile(chromium, dir, renderer = 'native') {
  return chromium.launchPersistentContext(dir, { executablePath: CHROMIUM, headless: true, args: chromiumArgs(renderer) });
}

// The WebGL renderer this browser's pages draw with, as the browser names it.
export const webglRenderer = (page) => page.evaluate(() => {
  const gl = document.createElement('canvas').getContext('webgl2');
  return gl.getParameter(gl.getExtension('WEBGL_debug_renderer_info').UNMASKED_RENDERER_WEBGL);
});
