// Runs before the program: the page's hooks, and the lab's image files fetched into the
// program's file system at the same data/... paths. A file the server does not have is
// left out, so the program's own reader reports it.
Module.canvas = document.getElementById('lab');
Module.labErrors = [];
Module.print = function (text) { console.log(text); };
Module.printErr = function (text) { Module.labErrors.push(text); console.warn(text); };

// exit() from anywhere in the program: the page stops drawing and says why.
Module.quit = function (status, toThrow) {
  if (Module.labEnded === undefined) {
    Module.labEnded = status;
    var message = document.getElementById('message');
    if (message) {
      message.textContent = status === 0 ? 'The lab has ended.' : Module.labErrors.join('\n');
      message.className = status === 0 ? 'ended' : 'failed';
    }
    if (Module.canvas) Module.canvas.style.display = 'none';
  }
  throw toThrow;
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
