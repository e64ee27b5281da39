// The page's drawing half of the browser build: the WebGL 2 context, the frame it draws and
// the textures it keeps (input.js has the events and the menus).
mergeInto(LibraryManager.library, {
  $LabPage: {
    canvas: null,
    gl: null,
    textured: null,       // the shader's switch between lit colour and lit colour times texel
    textures: [null],     // by GL texture name
    bound: 0,
    frames: 0,            // frames handed to WebGL
  },

  webglCreateContext__deps: ['$LabPage'],
  webglCreateContext: function (width, height) {
    var canvas = Module.canvas || document.getElementById('lab');
    LabPage.canvas = canvas;
    canvas.width = width;
    canvas.height = height;
    var gl = canvas.getContext('webgl2', {
      alpha: false, depth: true, stencil: false, antialias: false,
      premultipliedAlpha: false, preserveDrawingBuffer: true,
    });
    if (!gl) throw new Error('this browser gives no WebGL 2 context');
    LabPage.gl = gl;
    var compile = function (type, source) {
      var s = gl.createShader(type);
      gl.shaderSource(s, source);
      gl.compileShader(s);
      if (!gl.getShaderParameter(s, gl.COMPILE_STATUS)) throw new Error(gl.getShaderInfoLog(s));
      return s;
    };
    var program = gl.createProgram();
    gl.attachShader(program, compile(gl.VERTEX_SHADER,
      '#version 300 es\n' +
      'layout(location = 0) in vec4 position;\n' +
      'layout(location = 1) in vec4 colour;\n' +
      'layout(location = 2) in vec2 texCoord;\n' +
      'out vec4 vColour;\n' +
      'out vec2 vTexCoord;\n' +
      'void main() { gl_Position = position; vColour = colour; vTexCoord = texCoord; }\n'));
    // GL_MODULATE: the lit colour times the texel.
    gl.attachShader(program, compile(gl.FRAGMENT_SHADER,
      '#version 300 es\n' +
      'precision highp float;\n' +
      'in vec4 vColour;\n' +
      'in vec2 vTexCoord;\n' +
      'uniform bool textured;\n' +
      'uniform sampler2D image;\n' +
      'out vec4 fragColour;\n' +
      'void main() { fragColour = textured ? vColour * texture(image, vTexCoord) : vColour; }\n'));
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS)) throw new Error(gl.getProgramInfoLog(program));
    gl.useProgram(program);
    LabPage.textured = gl.getUniformLocation(program, 'textured');
    gl.uniform1i(gl.getUniformLocation(program, 'image'), 0);
    var vao = gl.createVertexArray();
    gl.bindVertexArray(vao);
    LabPage.vbo = gl.createBuffer();
    LabPage.ibo = gl.createBuffer();
    gl.bindBuffer(gl.ARRAY_BUFFER, LabPage.vbo);
    gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, LabPage.ibo);
    var stride = 28;  // struct WebVertex
    gl.enableVertexAttribArray(0);
    gl.vertexAttribPointer(0, 4, gl.FLOAT, false, stride, 0);
    gl.enableVertexAttribArray(1);
    gl.vertexAttribPointer(1, 4, gl.UNSIGNED_BYTE, true, stride, 16);
    gl.enableVertexAttribArray(2);
    gl.vertexAttribPointer(2, 2, gl.FLOAT, false, stride, 20);
    Module.labFrameCount = function () { return LabPage.frames; };
    return 1;
  },

  webglSubmitFrame__deps: ['$LabPage'],
  webglSubmitFrame: function (vertices, vertexCount, indices, indexCount, commands, commandCount) {
    var gl = LabPage.gl;
    gl.bufferData(gl.ARRAY_BUFFER, HEAPU8.subarray(vertices, vertices + vertexCount * 28), gl.STREAM_DRAW);
    gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, HEAPU8.subarray(indices, indices + indexCount * 4), gl.STREAM_DRAW);
    for (var i = 0; i < commandCount; ++i) {
      var at = (commands >> 2) + i * 9;  // struct WebCommand: five ints, four floats
      var kind = HEAP32[at], a = HEAP32[at + 1], b = HEAP32[at + 2], c = HEAP32[at + 3], d = HEAP32[at + 4];
      if (kind === 0) {
        gl.viewport(a, b, c, d);
      } else if (kind === 1) {
        gl.clearColor(HEAPF32[at + 5], HEAPF32[at + 6], HEAPF32[at + 7], HEAPF32[at + 8]);
        gl.clear(a);  // GL's and WebGL's buffer bits agree
      } else {
        if (d) gl.enable(gl.DEPTH_TEST); else gl.disable(gl.DEPTH_TEST);
        gl.uniform1i(LabPage.textured, c ? 1 : 0);
        if (c) gl.bindTexture(gl.TEXTURE_2D, LabPage.textures[c]);
        gl.drawElements(gl.TRIANGLES, b, gl.UNSIGNED_INT, a * 4);
      }
    }
    LabPage.frames++;
  },

  webglCreateTexture__deps: ['$LabPage'],
  webglCreateTexture: function () {
    LabPage.textures.push(LabPage.gl.createTexture());
    return LabPage.textures.length - 1;
  },

  webglBindTexture__deps: ['$LabPage'],
  webglBindTexture: function (texture) {
    LabPage.bound = texture;
    LabPage.gl.bindTexture(LabPage.gl.TEXTURE_2D, LabPage.textures[texture] || null);
  },

  // Parameter names and values are GL's, which WebGL shares.
  webglTexParameter__deps: ['$LabPage'],
  webglTexParameter: function (pname, value) {
    var gl = LabPage.gl;
    gl.bindTexture(gl.TEXTURE_2D, LabPage.textures[LabPage.bound] || null);
    gl.texParameteri(gl.TEXTURE_2D, pname, value);
  },

  webglTexImage__deps: ['$LabPage'],
  webglTexImage: function (width, height, rgba) {
    var gl = LabPage.gl;
    gl.bindTexture(gl.TEXTURE_2D, LabPage.textures[LabPage.bound] || null);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, width, height, 0, gl.RGBA, gl.UNSIGNED_BYTE,
                  HEAPU8.subarray(rgba, rgba + width * height * 4));
    gl.generateMipmap(gl.TEXTURE_2D);
  },

  // ?bench=N: N frames drawn back to back at the starting pose, timed from the end of the
  // first to the end of the last; the result lands in Module.labBench and on the page.
  webBenchFrames__deps: ['$LabPage'],
  webBenchFrames: function () {
    var n = parseInt(new URLSearchParams(location.search).get('bench'), 10);
    LabPage.bench = n > 1 ? { wanted: n, drawn: 0, start: 0 } : null;
    return LabPage.bench ? n : 0;
  },

  webBenchFrameDrawn__deps: ['$LabPage'],
  webBenchFrameDrawn: function () {
    var bench = LabPage.bench;
    if (++bench.drawn === 1) bench.start = performance.now();
    if (bench.drawn < bench.wanted) return;
    var seconds = (performance.now() - bench.start) / 1000, frames = bench.wanted - 1;
    Module.labBench = { frames: frames, seconds: seconds, ms_per_frame: 1000 * seconds / frames, fps: frames / seconds };
    var message = document.getElementById('message');
    if (message) message.textContent = frames + ' frames in ' + seconds.toFixed(2) + ' s: ' +
      Module.labBench.ms_per_frame.toFixed(1) + ' ms a frame, ' + Module.labBench.fps.toFixed(2) + ' frames per second';
  },

  webLabEnded: function () { return Module.labEnded !== undefined ? 1 : 0; },
});
