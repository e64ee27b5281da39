// Runs before the program: the page's hooks, and the lab's image files fetched into the
// program's file system at the same data/... paths. A file the server does not have is
// left out, so the program's own reader reports it.
Module.canvas = document.getElementById('lab');
Module.labErrors = [];
Module.print = function (text) { console.log(text); };
Module.printErr = function (text) { Module.labErrors.push(text); console.warn(text); };

// In place of the canvas (and the controls under it), the page says why the lab stopped.
// After a Quit, the page's Start again button takes the focus the canvas had.
function labStop(text, kind) {
  var message = document.getElementById('message');
  if (message) {
    message.textContent = text;
    message.className = kind;
  }
  document.body.classList.add('lab-stopped');
  var restart = document.getElementById('restart');
  if (restart && kind === 'ended') {
    restart.hidden = false;
    restart.focus();
  }
}

// Opened from disk, the page may fetch neither the program nor the images: it says how to
// serve it instead, and loads nothing (a program that never arrives never runs).
if (location.protocol === 'file:') {
  Module.labEnded = 1;
  Module.instantiateWasm = function () { return {}; };
  labStop('The lab must be served by a web server: opened as a file, this page may not load the ' +
    'lab\'s program and images. Run ./lab web in the project\'s folder and open the address it ' +
    'prints, or serve the folder build-web/site/ with any static web server (for example, ' +
    'python3 -m http.server in that folder) and open its address.', 'missing');
}

// What a failure other than the lab's own exit() means to a visitor, and what they can do.
function labFailure(error) {
  var details = '\n\n(Details: ' + (error && error.message || error) + ')';
  if (!Module.labRuntimeReady) {
    return 'The lab\'s program (ostrel-lab.wasm) could not be loaded. Reload the page; if that does ' +
      'not help, this browser may not run WebAssembly: try another, up-to-date browser.' + details;
  }
  // A canvas that has no context yet is given one now if the browser can: asking is the test.
  if (Module.canvas && !Module.canvas.getContext('webgl2')) {
    return 'The lab draws with WebGL 2, and this browser does not give it to the page. Turn on ' +
      'hardware (graphics) acceleration in the browser\'s settings, or open the page in another ' +
      'browser, such as a recent Firefox, Chrome, Edge or Safari.' + details;
  }
  return 'The lab stopped because of an error in this browser. Reload the page to start it again; ' +
    'if it stops again, try another browser.' + details;
}

Module.onRuntimeInitialized = function () { Module.labRuntimeReady = true; };

// How the lab ended: exit()'s status, or the error none caught. Only the first ending
// counts. An unreadable image's message is the reader's own, as the native program prints it.
Module.labEnd = function (status, error) {
  if (Module.labEnded !== undefined) return;
  Module.labEnded = status;
  if (status === 0) labStop('The lab has ended.', 'ended');
  else if (!error || error.name === 'ExitStatus') labStop(Module.labErrors.join('\n'), 'failed');
  else labStop(labFailure(error), 'missing');
};

// exit() from anywhere in the program: in main(), a frame or an event.
Module.onExit = function (status) { Module.labEnd(status); };
// An error none caught, in main(), a frame or an event, reaches the browser.
window.addEventListener('error', function (e) { Module.labEnd(1, e.error || e.message); });
window.addEventListener('unhandledrejection', function (e) { Module.labEnd(1, e.reason); });

// A .wasm that does not load or compile, or the program's own abort().
Module.onAbort = function (what) {
  if (Module.labEnded !== undefined) return;
  Module.labEnded = 1;
  labStop(labFailure(what), 'missing');
};

Module.preRun = Module.preRun || [];
Module.preRun.push(function () {
  var files = Module.labDataFiles || [];
  addRunDependency('lab-data');
  Promise.all(files.map(function (name) {
    return fetch(name)
      .then(function (response) { return response.ok ? response.arrayBuffer() : null; })
      .catch(function () { return null; })
      .then(function (bytes) { return { name: name, bytes: bytes }; });
  })).then(function (fetched) {
    fetched.forEach(function (file) {
      if (!file.bytes) return;
      var path = '';
      file.name.split('/').slice(0, -1).forEach(function (part) {
        path += '/' + part;
        try { FS.mkdir(path); } catch (e) { /* made already */ }
      });
      FS.writeFile('/' + file.name, new Uint8Array(file.bytes));
    });
    removeRunDependency('lab-data');
  });
});
