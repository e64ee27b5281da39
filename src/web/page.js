// The page's drawing half of the browser build: the WebGL 2 context, the frame it draws and
// the textures it keeps (input.js has the events and the menus).
mergeInto(LibraryManager.library, {
  $LabPage: {
    frames: 0,            // frames handed to WebGL
    timing: false,        // the page's ?bench mode: the program's time a frame is kept
  },

  // The GPU side of the GL layer: one shader that transforms and lights as GL 1.1 does,
  // the meshes, the textures and the last frame. Each keeps what it was made from, so that
  // all of it can be made again when the context comes back after a loss.
  $LabGL__deps: ['$LabPage'],
  $LabGL: {
    gl: null,
    lost: false,          // since a loss, until the restored context has everything made again
    programs: null,       // by the lighting switches they are written for
    stream: null,         // the frame's own vertices and indices
    instanceBuffer: null, // the frame's mesh instances
    meshes: [null],       // by number: {vertices, indices, vao}
    textures: [null],     // by GL texture name: {texture, parameters, image}
    frame: null,          // the last frame handed over: drawn again on a restored context, or to replay
    passStart: 0,
    programTimes: [],     // under ?bench: ms from the start of each main-loop pass that drew to the end of its swap

    // The layouts of struct WebVertex, WebState, WebEnvironment and WebCommand (webgl.h).
    VERTEX_BYTES: 200,
    STATE_BYTES: 176,
    ENVIRONMENT_FLOATS: 48,
    COMMAND_WORDS: 16,

    // GL's per-vertex lighting as the layer defines it (gl.cpp, currentState), written out
    // for one set of switches: SwiftShader pays dearly for a loop or branch in the shader.
    // The vertex goes to clip space as GL takes it there: through the projection times the
    // modelview, multiplied out with each product rounded before it is added, as a CPU
    // without fused multiply-add does (`one` is 1; multiplying by it keeps the compiler
    // from fusing a product into the sum). Edges and texel boundaries then fall on the same
    // pixels as the native program's, when both draw on the same renderer.
    // environment holds the projection (0-3), the model ambient (4), the switches (5) and the
    // two lights (6-8, 9-11: ambient, diffuse, eye position).
    vertexShader: function (lit, lights, textured) {
      var source = '#version 300 es\n' +
        'layout(location = 0) in vec3 position;\n' +
        'layout(location = 1) in vec3 normal;\n' +
        'layout(location = 2) in mat4 modelview;\n' +
        'layout(location = 6) in mat3 normalMatrix;\n' +
        'layout(location = 9) in vec4 ambient;\n' +
        'layout(location = 10) in vec4 diffuse;\n' +
        'layout(location = 11) in vec4 emission;\n' +
        'layout(location = 12) in vec2 texCoord;\n' +
        'uniform vec4 environment[12];\n' +
        'uniform float one;\n' +
        'out vec4 vColour;\n' +
        (textured ? 'out vec2 vTexCoord;\n' : '') +
        'void main() {\n' +
        '  vec4 eye = modelview * vec4(position, 1.0);\n' +
        '  mat4 mvp;\n' +
        [0, 1, 2, 3].map(function (c) {
          return '  mvp[' + c + '] = ' + [0, 1, 2, 3].map(function (k) {
            return 'environment[' + k + '] * modelview[' + c + '][' + k + '] * one';
          }).reduce(function (sum, term) { return '(' + sum + ' + ' + term + ')'; }) + ';\n';
        }).join('') +
        '  gl_Position = mvp * vec4(position, 1.0);\n' +
        (textured ? '  vTexCoord = texCoord;\n' : '');
      if (!lit) return source + '  vColour = vec4(1.0);\n}\n';
      source += '  vec3 n = normalMatrix * normal;\n' +
        '  vec3 colour = emission.rgb + ambient.rgb * environment[4].rgb;\n';
      lights.forEach(function (light, i) {
        if (!light) return;  // off
        var p = 'environment[' + (8 + 3 * i) + ']', l = 'toLight' + i;
        source += '  vec3 ' + l + ' = ' + (light === 'positional' ? p + '.xyz / ' + p + '.w - eye.xyz / eye.w' : p + '.xyz') + ';\n' +
          '  float length' + i + ' = length(' + l + ');\n' +
          '  float facing' + i + ' = length' + i + ' > 0.0 ? max(0.0, dot(n, ' + l + ') / length' + i + ') : 0.0;\n' +
          '  colour += ambient.rgb * environment[' + (6 + 3 * i) + '].rgb + facing' + i + ' * diffuse.rgb * environment[' + (7 + 3 * i) + '].rgb;\n';
      });
      return source + '  vColour = clamp(vec4(colour, diffuse.a), 0.0, 1.0);\n}\n';
    },
    // GL_MODULATE: the lit colour times the texel. An untextured draw has a shader of its own,
    // with no texture coordinate to interpolate and no texel to fetch.
    fragmentShader: function (textured) {
      return '#version 300 es\n' +
        'precision highp float;\n' +
        'in vec4 vColour;\n' +
        (textured ? 'in vec2 vTexCoord;\nuniform sampler2D image;\n' : '') +
        'out vec4 fragColour;\n' +
        'void main() { fragColour = ' + (textured ? 'vColour * texture(image, vTexCoord)' : 'vColour') + '; }\n';
    },

    // The program for a frame's environment, textured or not: made the first time its switches are met.
    program: function (f, environment, textured) {
      var e = f.environments, at = environment * LabGL.ENVIRONMENT_FLOATS, lit = e[at + 20] !== 0, lights = [];
      for (var i = 0; i < 2; ++i)
        lights.push(e[at + 21 + i] === 0 ? null : e[at + 35 + 12 * i] !== 0 ? 'positional' : 'directional');
      var key = (lit ? lights.join() : 'unlit') + (textured ? ' textured' : '');
      if (!LabGL.programs[key])
        LabGL.programs[key] = LabGL.makeProgram(LabGL.vertexShader(lit, lights, textured), LabGL.fragmentShader(textured));
      return LabGL.programs[key];
    },

    // A context lost on the way answers every question with null: the frame's draws then
    // use no program (calls on a lost context do nothing), and the restored one makes it again.
    makeProgram: function (vertexSource, fragmentSource) {
      var gl = LabGL.gl, none = { program: null, environment: null };
      var compile = function (type, source) {
        var s = gl.createShader(type);
        gl.shaderSource(s, source);
        gl.compileShader(s);
        if (!gl.getShaderParameter(s, gl.COMPILE_STATUS) && !gl.isContextLost()) throw new Error(gl.getShaderInfoLog(s));
        return s;
      };
      var program = gl.createProgram();
      gl.attachShader(program, compile(gl.VERTEX_SHADER, vertexSource));
      gl.attachShader(program, compile(gl.FRAGMENT_SHADER, fragmentSource));
      gl.linkProgram(program);
      if (!gl.getProgramParameter(program, gl.LINK_STATUS)) {
        if (gl.isContextLost()) return none;
        throw new Error(gl.getProgramInfoLog(program));
      }
      gl.useProgram(program);
      gl.uniform1f(gl.getUniformLocation(program, 'one'), 1);
      return { program: program, environment: gl.getUniformLocation(program, 'environment') };
    },

    // Position and normal from the bound buffer, with `stride` bytes a vertex.
    pointVertices: function (stride) {
      var gl = LabGL.gl;
      gl.enableVertexAttribArray(0);
      gl.vertexAttribPointer(0, 3, gl.FLOAT, false, stride, 0);
      gl.enableVertexAttribArray(1);
      gl.vertexAttribPointer(1, 3, gl.FLOAT, false, stride, 12);
    },

    // A WebState's attributes from the bound buffer at byte `base`: per vertex (divisor 0)
    // or per instance (1); without a divisor, only moved to `base`.
    pointState: function (stride, base, divisor) {
      var gl = LabGL.gl;
      var point = function (location, size, offset) {
        if (divisor !== undefined) {
          gl.enableVertexAttribArray(location);
          gl.vertexAttribDivisor(location, divisor);
        }
        gl.vertexAttribPointer(location, size, gl.FLOAT, false, stride, base + offset);
      };
      for (var column = 0; column < 4; ++column) point(2 + column, 4, 16 * column);  // modelview
      for (column = 0; column < 3; ++column) point(6 + column, 3, 64 + 16 * column);  // normal matrix
      point(9, 4, 112);   // ambient
      point(10, 4, 128);  // diffuse
      point(11, 4, 144);  // emission
      point(12, 2, 160);  // texture coordinate
    },

    uploadMesh: function (mesh) {
      var gl = LabGL.gl;
      mesh.vao = gl.createVertexArray();
      gl.bindVertexArray(mesh.vao);
      gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
      gl.bufferData(gl.ARRAY_BUFFER, mesh.vertices, gl.STATIC_DRAW);
      LabGL.pointVertices(24);
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, gl.createBuffer());
      gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, mesh.indices, gl.STATIC_DRAW);
      gl.bindBuffer(gl.ARRAY_BUFFER, LabGL.instanceBuffer);
      LabGL.pointState(LabGL.STATE_BYTES, 0, 1);
      gl.bindVertexArray(null);
    },

    uploadTexture: function (t) {
      var gl = LabGL.gl;
      t.texture = gl.createTexture();
      gl.bindTexture(gl.TEXTURE_2D, t.texture);
      for (var pname in t.parameters) gl.texParameteri(gl.TEXTURE_2D, +pname, t.parameters[pname]);
      if (!t.image) return;
      gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, t.image.width, t.image.height, 0, gl.RGBA, gl.UNSIGNED_BYTE,
                    t.image.rgba);
      gl.generateMipmap(gl.TEXTURE_2D);
    },

    // Whether WebGL may be called: the context can be lost before the browser's event says
    // so, and from then on nothing is made or drawn until the restored event has made it all again.
    usable: function () {
      if (LabGL.gl.isContextLost()) LabGL.lost = true;
      return !LabGL.lost;
    },

    // Everything on the GPU, from what was handed over: at start-up and on a restored context.
    makeObjects: function () {
      var gl = LabGL.gl;
      if (!LabGL.usable()) return;
      LabGL.programs = {};
      LabGL.instanceBuffer = gl.createBuffer();
      LabGL.stream = { vao: gl.createVertexArray(), vertices: gl.createBuffer() };
      gl.bindVertexArray(LabGL.stream.vao);
      gl.bindBuffer(gl.ARRAY_BUFFER, LabGL.stream.vertices);
      LabGL.pointVertices(LabGL.VERTEX_BYTES);
      LabGL.pointState(LabGL.VERTEX_BYTES, 24, 0);
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, gl.createBuffer());
      gl.bindVertexArray(null);
      LabGL.meshes.forEach(function (m) { if (m) LabGL.uploadMesh(m); });
      LabGL.textures.forEach(function (t) { if (t) LabGL.uploadTexture(t); });
    },

    upload: function (f) {
      var gl = LabGL.gl;
      gl.bindVertexArray(LabGL.stream.vao);
      gl.bindBuffer(gl.ARRAY_BUFFER, LabGL.stream.vertices);
      gl.bufferData(gl.ARRAY_BUFFER, f.vertices, gl.STREAM_DRAW);
      gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, f.indices, gl.STREAM_DRAW);
      gl.bindBuffer(gl.ARRAY_BUFFER, LabGL.instanceBuffer);
      gl.bufferData(gl.ARRAY_BUFFER, f.instances, gl.STREAM_DRAW);
    },

    // The frame's commands, from what upload put on the GPU; a state is set only when it changes.
    draw: function (f) {
      var gl = LabGL.gl, c = f.commands, colour = f.commandFloats, stream = LabGL.stream.vao;
      var vao = null, texture = -1, depth = -1, program = null, used = [];  // programs with their uniforms set this frame
      gl.bindBuffer(gl.ARRAY_BUFFER, LabGL.instanceBuffer);
      for (var i = 0; i < c.length; i += LabGL.COMMAND_WORDS) {
        if (c[i] === 0) {
          gl.viewport(c[i + 7], c[i + 8], c[i + 9], c[i + 10]);
          continue;
        }
        if (c[i] === 1) {
          gl.clearColor(colour[i + 12], colour[i + 13], colour[i + 14], colour[i + 15]);
          gl.clear(c[i + 11]);  // GL's and WebGL's buffer bits agree
          continue;
        }
        var mesh = c[i + 1], first = c[i + 2], count = c[i + 3];
        if (c[i + 5] !== depth) {
          depth = c[i + 5];
          if (depth) gl.enable(gl.DEPTH_TEST); else gl.disable(gl.DEPTH_TEST);
        }
        var p = LabGL.program(f, c[i + 6], c[i + 4] !== 0);
        if (p !== program) {
          gl.useProgram((program = p).program);
          if (!used.includes(p)) used.push(p), (p.environment_ = -1);
        }
        if (c[i + 6] !== p.environment_) {
          var e = (p.environment_ = c[i + 6]) * LabGL.ENVIRONMENT_FLOATS;
          gl.uniform4fv(p.environment, f.environments.subarray(e, e + LabGL.ENVIRONMENT_FLOATS));
        }
        if (c[i + 4] && c[i + 4] !== texture) {
          texture = c[i + 4];
          gl.bindTexture(gl.TEXTURE_2D, (LabGL.textures[texture] || {}).texture || null);
        }
        var m = mesh ? LabGL.meshes[mesh] : null;
        if (mesh && !m) continue;
        var wanted = m ? m.vao : stream;
        if (wanted !== vao) gl.bindVertexArray(vao = wanted);
        if (!m) {
          gl.drawElements(gl.TRIANGLES, count, gl.UNSIGNED_INT, first * 4);
        } else {
          LabGL.pointState(LabGL.STATE_BYTES, first * LabGL.STATE_BYTES);
          gl.drawElementsInstanced(gl.TRIANGLES, m.indices.length, gl.UNSIGNED_INT, 0, count);
        }
      }
      gl.bindVertexArray(null);
    },

    // The frame drawn again from what is on the GPU, `wanted` times over animation frames.
    replay: function (bench) {
      var drawn = 0, start = 0;
      var step = function () {
        if (LabGL.usable()) LabGL.draw(LabGL.frame);
        if (++drawn === 1) start = performance.now();
        if (drawn < bench.wanted) requestAnimationFrame(step);
        else LabGL.benchDone(bench, performance.now() - start);
      };
      requestAnimationFrame(step);
    },

    // The bench's result, in Module.labBench and on the page; the program's median time a
    // frame when it drew them.
    benchDone: function (bench, ms, programTimes) {
      var frames = bench.wanted - 1, seconds = ms / 1000;
      var result = Module.labBench = { frames: frames, seconds: seconds, ms_per_frame: ms / frames,
                                       fps: frames / seconds, replay: bench.replay };
      if (programTimes) {
        var sorted = programTimes.slice().sort(function (a, b) { return a - b; });
        result.program_ms = sorted[Math.floor(sorted.length / 2)];
      }
      var message = document.getElementById('message');
      if (message) message.textContent = frames + ' frames in ' + seconds.toFixed(2) + ' s: ' +
        result.ms_per_frame.toFixed(1) + ' ms a frame, ' + result.fps.toFixed(2) + ' frames per second';
    },
  },

  webglCreateContext__deps: ['$LabPage', '$LabGL'],
  webglCreateContext: function (width, height) {
    var canvas = Module.canvas || document.getElementById('lab');
    canvas.width = width;
    canvas.height = height;
    var gl = canvas.getContext('webgl2', {
      alpha: false, depth: true, stencil: false, antialias: false,
      premultipliedAlpha: false, preserveDrawingBuffer: true,
    });
    if (!gl) throw new Error('this browser gives no WebGL 2 context');
    LabGL.gl = gl;
    // A lost context draws nothing until it is back; then all is made again and the last
    // frame drawn (in the viewport it opens with), the program's state (the camera too) untouched.
    canvas.addEventListener('webglcontextlost', function (e) {
      e.preventDefault();
      LabGL.lost = true;
    });
    canvas.addEventListener('webglcontextrestored', function () {
      LabGL.lost = false;
      LabGL.makeObjects();
      if (!LabGL.frame || !LabGL.usable()) return;
      LabGL.upload(LabGL.frame);
      LabGL.draw(LabGL.frame);
    });
    LabGL.makeObjects();
    Module.labFrameCount = function () { return LabPage.frames; };
    Module.labProgramTimes = function () { return LabGL.programTimes.slice(); };
    return 1;
  },

  webglCreateMesh__deps: ['$LabGL'],
  webglCreateMesh: function (mesh, vertices, vertexCount, indices, indexCount) {
    var m = {
      vertices: HEAPF32.slice(vertices >> 2, (vertices >> 2) + vertexCount * 6),
      indices: HEAPU32.slice(indices >> 2, (indices >> 2) + indexCount),
    };
    LabGL.meshes[mesh] = m;
    if (LabGL.usable()) LabGL.uploadMesh(m);
  },

  webglSubmitFrame__deps: ['$LabPage', '$LabGL'],
  webglSubmitFrame: function (vertices, vertexCount, indices, indexCount, instances, instanceCount,
                              environments, environmentCount, commands, commandCount) {
    var f = {
      vertices: HEAPU8.slice(vertices, vertices + vertexCount * LabGL.VERTEX_BYTES),
      indices: HEAPU32.slice(indices >> 2, (indices >> 2) + indexCount),
      instances: HEAPU8.slice(instances, instances + instanceCount * LabGL.STATE_BYTES),
      environments: HEAPF32.slice(environments >> 2, (environments >> 2) + environmentCount * LabGL.ENVIRONMENT_FLOATS),
      commands: HEAP32.slice(commands >> 2, (commands >> 2) + commandCount * LabGL.COMMAND_WORDS),
    };
    f.commandFloats = new Float32Array(f.commands.buffer);
    LabGL.frame = f;
    if (LabGL.usable()) {
      LabGL.upload(f);
      LabGL.draw(f);
    }
    LabPage.frames++;
    if (LabGL.passStart) {
      LabGL.programTimes.push(performance.now() - LabGL.passStart);
      if (LabGL.programTimes.length > 10000) LabGL.programTimes.shift();
      LabGL.passStart = 0;
    }
  },

  webPassBegan__deps: ['$LabPage', '$LabGL'],
  webPassBegan: function () { if (LabPage.timing) LabGL.passStart = performance.now(); },

  webglCreateTexture__deps: ['$LabGL'],
  webglCreateTexture: function () {
    var t = { texture: null, parameters: {}, image: null };
    if (LabGL.usable()) t.texture = LabGL.gl.createTexture();
    LabGL.textures.push(t);
    return LabGL.textures.length - 1;
  },

  // Parameter names and values are GL's, which WebGL shares.
  webglTexParameter__deps: ['$LabGL'],
  webglTexParameter: function (texture, pname, value) {
    var t = LabGL.textures[texture], gl = LabGL.gl;
    if (!t) return;
    t.parameters[pname] = value;
    if (!LabGL.usable()) return;
    gl.bindTexture(gl.TEXTURE_2D, t.texture);
    gl.texParameteri(gl.TEXTURE_2D, pname, value);
  },

  webglTexImage__deps: ['$LabGL'],
  webglTexImage: function (texture, width, height, rgba) {
    var t = LabGL.textures[texture];
    if (!t) return;
    t.image = { width: width, height: height, rgba: HEAPU8.slice(rgba, rgba + width * height * 4) };
    if (!LabGL.usable()) return;
    LabGL.gl.deleteTexture(t.texture);
    LabGL.uploadTexture(t);
  },

  // ?bench=N: N frames drawn back to back at the starting pose, timed from the end of the
  // first to the end of the last; the result lands in Module.labBench and on the page.
  // With &replay, the program draws one frame and the page draws it again N times from
  // what is on the GPU, with no program work: the GPU's own cost of the frame.
  // Any ?bench (a bare one too, which draws as a visitor's page does) keeps the program's
  // time a frame in Module.labProgramTimes(); a visitor's page keeps none.
  webBenchFrames__deps: ['$LabPage'],
  webBenchFrames: function () {
    var query = new URLSearchParams(location.search), n = parseInt(query.get('bench'), 10);
    LabPage.timing = query.has('bench');
    LabPage.bench = n > 1 ? { wanted: n, drawn: 0, start: 0, replay: query.has('replay') } : null;
    if (!LabPage.bench) return 0;
    return LabPage.bench.replay ? 1 : n;
  },

  webBenchFrameDrawn__deps: ['$LabPage', '$LabGL'],
  webBenchFrameDrawn: function () {
    var bench = LabPage.bench;
    if (bench.replay) {
      LabGL.replay(bench);
      return;
    }
    if (++bench.drawn === 1) bench.start = performance.now();
    if (bench.drawn < bench.wanted) return;
    LabGL.benchDone(bench, performance.now() - bench.start, LabGL.programTimes.slice(1 - bench.wanted));
  },

  webLabEnded: function () { return Module.labEnded !== undefined ? 1 : 0; },
});
