// .x text files written by hand for the reader and converter tests.
#pragma once

#include <string>

namespace xfile_test {

// The header of a text .x file.
inline std::string Header() { return "xof 0303txt 0032\n"; }

// Every template the reader knows. What the tests expect of it:
// - frames Body (translated by (0, 1, 0)), Arm under it ((2, 0, 0)) and an
//   unnamed leaf under Arm, which takes Arm's matrix;
// - mesh Hull of 7 vertices and three faces: a quad (material 1), a
//   triangle (material 0) and a convex pentagon (material 1); material 0
//   is the top-level "Shared" named by reference before the list's own
//   "Red" (the file's order is the material order);
// - two normals listed per face, five texture coordinates for seven
//   vertices, two colours (listed for vertices 0 and 6: they go to 0 and 1);
// - two SkinWeights under a header that announces one bone;
// - 30 ticks a second and one animation set of two animations, the second
//   of which animates no frame;
// - a template declaration, a header and objects of unknown templates,
//   which are skipped, braces in comments and strings included.
inline constexpr char kHandModel[] = R"(xof 0303txt 0032
// A hand-written model. } braces in comments do not count {
template Frame {
 <3D82AB46-62DA-11cf-AB39-0020AF71E433>
 [...]
}
Header { 1; 0; 1; }
AnimTicksPerSecond { 30; }
Material Shared {
  0.5; 0.25; 1.0; 1.0;;
  12.0;
  0.1; 0.2; 0.3;;
  0.0; 0.0; 0.5;;
  TextureFilename { "tex\\skin.png"; }
}
Frame Body {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,1,0,1;; }
  Frame Arm {
    FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 2,0,0,1;; }
    Frame { }
  }
  Mesh Hull {
    7;
    0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 2;0;0;, 2;1;0;, 3;0.5;0;;
    3;
    4;0,1,2,3;,
    3;1,4,5;,
    5;1,4,6,5,2;;
    VertexDuplicationIndices { 7; 7; 0,1,2,3,4,5,6;; }
    Comment { "a string with } in it"; }
    MeshNormals {
      2;
      0;0;-1;, 0;0;1;;
      3;
      4;1,1,1,1;,
      3;0,0,0;,
      5;0,0,0,0,0;;
    }
    MeshTextureCoords {
      5;
      0.0;1.0;, 0.125;0.875;, 0.25;0.75;, 0.375;0.625;, 0.5;0.5;;
    }
    MeshVertexColors {
      2;
      0;1.0;0.0;0.0;1.0;;,
      6;0.0;0.0;1.0;0.5;;;
    }
    MeshMaterialList {
      2;
      3;
      1, 0, 1;;
      { Shared }
      Material Red {
        1.0; 0.0; 0.0; 1.0;;
        5.0;
        1.0; 1.0; 1.0;;
        0.0; 0.0; 0.0;;
      }
    }
    XSkinMeshHeader { 2; 4; 1; }
    SkinWeights {
      "Arm";
      2;
      4, 5;
      1.0, 0.5;
      1,0,0,0, 0,1,0,0, 0,0,1,0, -2,-1,0,1;;
    }
    SkinWeights {
      "Body";
      1;
      0;
      1.0;
      1,0,0,0, 0,1,0,0, 0,0,1,0, 0,-1,0,1;;
    }
  }
}
AnimationSet Wave {
  Animation {
    { Arm }
    AnimationKey {
      2;
      3;
      0;3;0,0,0;;,
      15;3;0,1,0;;,
      30;3;0,1,0;;;
    }
    AnimationKey {
      0;
      2;
      0;4;1,0,0,0;;,
      30;4;0.5,0.5,0.5,0.5;;;
    }
  }
  Animation {
    AnimationKey { 1; 1; 0;3;1,1,1;;; }
  }
}
)";

// The smallest useful file: one unnamed triangle, no material list.
inline constexpr char kTriangle[] = R"(xof 0303txt 0032
Mesh {
  3;
  0;0;0;, 1;0;0;, 0;1;0;;
  1;
  3;0,1,2;;
}
)";

}  // namespace xfile_test
